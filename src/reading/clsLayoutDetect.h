// Finds the layout of a design document by itself: the sheets that hold tables, their header row
// (fixed positions when every table sheet has it at the same place, else the header labels), where
// the table name stands, what the null column means, the mark words, a key marked in another
// column, and the type words the document needs. It never guesses: where two readings are possible
// it says so and gives no layout.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "clsAccessFieldAttr.h"
#include "clsExcelDBDocInfo.h"

class clsLayoutDetect {
public:
    // Looks at every sheet of the workbook. False when the workbook cannot be opened or no layout
    // was found (getProblems() says why); true with getLayout() and getTypes() filled otherwise.
    bool fnDetect(const std::string& strBookPath);

    const clsExcelDBDocInfo& getLayout() const { return moLayout; }
    // The type words: the classic eight notations, or the dictionary and WORD(N) switched on.
    const clsAccessFieldAttr& getTypes() const { return moTypes; }
    bool needsTypeFile() const { return !moTypes.isClassic(); }

    // What was found, one Japanese sentence per line, in the order found.
    const std::vector<std::string>& getFindings() const { return mocolFindings; }
    // Sheets that hold no table: "シート1「表紙」: 見出し行がありません（…）".
    const std::vector<std::string>& getSkippedSheets() const { return mocolSkipped; }
    // Why no layout was given, or what the user must look at (type words no type fits).
    const std::vector<std::string>& getProblems() const { return mocolProblems; }

private:
    clsExcelDBDocInfo moLayout;
    clsAccessFieldAttr moTypes;
    std::vector<std::string> mocolFindings;
    std::vector<std::string> mocolSkipped;
    std::vector<std::string> mocolProblems;
};
