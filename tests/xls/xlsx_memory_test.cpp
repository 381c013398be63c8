// A sheet full of cells outside the kept bounds costs no memory: the reader streams the sheet and
// keeps only the cells inside OpenOptions.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <malloc.h>
#endif
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cell.h"
#include "workbook.h"

namespace {

const char* kNs = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// rows 1..maxRow: one cell in A; then 3000 rows of 60 numbers, all beyond row 999 or column 99.
std::string bigSheet() {
    std::string s = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet ") + kNs +
                    "><dimension ref=\"A1:XFD1048576\"/><sheetData>"
                    "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>kept</t></is></c>";
    for (int c = 100; c < 160; ++c) s += "<c><v>" + std::to_string(c) + "</v></c>";
    s += "</row>";
    for (int r = 1000; r < 4000; ++r) {
        s += "<row r=\"" + std::to_string(r) + "\">";
        for (int c = 0; c < 60; ++c) s += "<c t=\"inlineStr\"><is><t>text " + std::to_string(r * c) + "</t></is></c>";
        s += "</row>";
    }
    return s + "</sheetData></worksheet>";
}

void add(zip_t* z, const char* name, const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size()));
    std::memcpy(copy, text.data(), text.size());
    zip_source_t* src = zip_source_buffer(z, copy, text.size(), 1);
    ASSERT_NE(src, nullptr);
    ASSERT_GE(zip_file_add(z, name, src, ZIP_FL_ENC_UTF_8), 0);
}

[[maybe_unused]] std::string writeWorkbook() {
    const std::string path = testing::TempDir() + "xlsx_memory_big.xlsx";
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    EXPECT_NE(z, nullptr);
    if (!z) return path;
    add(z, "_rels/.rels",
        std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"") + kRelNs + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    add(z, "xl/workbook.xml",
        std::string("<workbook ") + kNs + " xmlns:r=\"" + kRelNs +
            "\"><sheets><sheet name=\"Big\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    add(z, "xl/_rels/workbook.xml.rels",
        std::string("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"") + kRelNs + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
    add(z, "xl/worksheets/sheet1.xml", bigSheet());
    EXPECT_EQ(zip_close(z), 0);
    return path;
}

}  // namespace

#ifndef _WIN32  // glibc's allocator statistics
TEST(XlsxMemory, CellsOutsideTheBoundsAreNeverKept) {
    const std::string path = writeWorkbook();
    auto wb = xls::openWorkbook(path);
    const size_t before = mallinfo2().uordblks;
    EXPECT_EQ(xls::cellText(wb->cell(0, 1, 1)), "kept");  // reads the whole 180,000-cell sheet
    const size_t after = mallinfo2().uordblks;
    // The sheet's XML is about 5 MB; what stays allocated is one cell and the parser's buffer.
    EXPECT_LT(after - std::min(after, before), 512u * 1024u);
    EXPECT_EQ(wb->cell(0, 1000, 1).kind, xls::CellKind::Empty);
    std::remove(path.c_str());
}
#endif
