// The layout definitions and the type notation map kept in examples/, written by
// write_examples and checked against the files by the tests.
#pragma once

#include <string>

#include "clsAccessFieldAttr.h"
#include "clsExcelDBDocInfo.h"

// The initial layout: sheets 1-4, table name in C3, fields from row 6 in D, E, F, G, I.
inline clsExcelDBDocInfo exampleDefaultLayout() { return clsExcelDBDocInfo(); }

// A design document that opens with a cover sheet and a change history: tables on
// sheets 3-6, otherwise the initial positions.
inline clsExcelDBDocInfo exampleLayoutWithCover() {
    clsExcelDBDocInfo d;
    d.sbSetPage(3, 6);
    return d;
}

// Japanese type words as Japanese design documents commonly write them.
inline clsAccessFieldAttr exampleJapaneseNotations() {
    clsAccessFieldAttr a;
    a.setText("テキスト");
    a.setAutoNumber("オートナンバー");
    a.setDate("日付/時刻");
    a.setInteger("整数");
    a.setLong("長整数");
    a.setSingle("単精度浮動小数点型");
    a.setDouble("倍精度浮動小数点型");
    a.setCurrency("通貨");
    return a;
}

inline const char* const kExampleDefaultLayoutFile = "default.edf";
inline const char* const kExampleLayoutWithCoverFile = "design_with_cover.edf";
inline const char* const kExampleJapaneseNotationsFile = "japanese.afa";
