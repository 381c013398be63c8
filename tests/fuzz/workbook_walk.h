// What the workbook targets do with a workbook that opened: read every sheet's name and the cells
// a design document uses.
#pragma once
#include "cell.h"
#include "workbook.h"

namespace fuzz {

inline void readEveryCell(xls::Workbook& book) {
    for (int s = 0; s < book.sheetCount(); ++s) {
        book.sheetName(s);
        for (int r = 1; r <= 60; ++r)
            for (int c = 1; c <= 12; ++c) xls::cellText(book.cell(s, r, c));
    }
}

}  // namespace fuzz
