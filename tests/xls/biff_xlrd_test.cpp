// Our reader against python3-xlrd over the same files: every cell of every worksheet within
// the reading window must have the same kind and value. Skipped when xlrd is not installed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "biff_workbook.h"

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/xls/";

// One line per worksheet ("S name") and per non-empty cell ("row col kind value"), texts with
// backslash escapes, numbers with 17 digits. Exit status 3: no xlrd.
const char* const kScript = R"PY(
import sys
try:
    import xlrd
except ImportError:
    sys.exit(3)
def esc(s):
    return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")
book = xlrd.open_workbook(sys.argv[1])
for sh in book.sheets():
    print("S\t" + esc(sh.name))
    for r in range(min(sh.nrows, 999)):
        for c in range(min(sh.ncols, 99)):
            t, v = sh.cell(r, c).ctype, sh.cell(r, c).value
            if t == xlrd.XL_CELL_TEXT:
                s = "T\t" + esc(v)
            elif t in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                s = ("N\t" if t == xlrd.XL_CELL_NUMBER else "D\t") + "%.17g" % v
            elif t == xlrd.XL_CELL_BOOLEAN:
                s = "B\t%d" % v
            elif t == xlrd.XL_CELL_ERROR:
                s = "E\t" + xlrd.error_text_from_code.get(v, "?")
            else:
                continue
            print("%d\t%d\t%s" % (r + 1, c + 1, s))
)PY";

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '\t' || c == '\n' || c == '\r') out.push_back('\\');
        out.push_back(c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : c);
    }
    return out;
}

// The same listing from our reader, for the sheets xlrd lists (it leaves out chart and macro
// sheets).
std::string ourListing(xls::Workbook& book, const std::string& theirs) {
    std::string out;
    for (int s = 0; s < book.sheetCount(); ++s) {
        const std::string head = "S\t" + escape(book.sheetName(s)) + "\n";
        if (theirs.find(head) == std::string::npos) continue;
        out += head;
        for (int r = 1; r <= 999; ++r) {
            for (int c = 1; c <= 99; ++c) {
                const xls::Cell cell = book.cell(s, r, c);
                char num[64];
                std::snprintf(num, sizeof num, "%.17g", cell.number);
                std::string v;
                switch (cell.kind) {
                    case xls::CellKind::Empty: continue;
                    case xls::CellKind::Text: v = "T\t" + escape(cell.text); break;
                    case xls::CellKind::Number: v = (cell.isDate ? "D\t" : "N\t") + std::string(num); break;
                    case xls::CellKind::Boolean: v = cell.boolean ? "B\t1" : "B\t0"; break;
                    case xls::CellKind::Error: v = "E\t" + cell.text; break;
                }
                out += std::to_string(r) + "\t" + std::to_string(c) + "\t" + v + "\n";
            }
        }
    }
    return out;
}

class AgainstXlrd : public ::testing::TestWithParam<std::string> {};

TEST_P(AgainstXlrd, SameCells) {
    const std::string path = kData + GetParam();
    if (!std::filesystem::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
    const std::string script =
        (std::filesystem::temp_directory_path() / ("xlsdb_biff_xlrd_" + std::to_string(getpid()) + ".py")).string();
    std::ofstream(script) << kScript;
    FILE* p = popen(("/usr/bin/python3 '" + script + "' '" + path + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string theirs;
    char buf[65536];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) theirs.append(buf, n);
    const int status = pclose(p);
    std::filesystem::remove(script);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) GTEST_SKIP() << "python3-xlrd not installed";
    ASSERT_EQ(status, 0) << "xlrd failed";

    auto book = xls::openBiffWorkbook(path);
    const std::string ours = ourListing(*book, theirs);
    // Report the first differing line rather than two listings of 15000-character texts.
    std::size_t i = 0;
    while (i < ours.size() && i < theirs.size() && ours[i] == theirs[i]) ++i;
    const std::size_t line = ours.rfind('\n', i) == std::string::npos ? 0 : ours.rfind('\n', i) + 1;
    EXPECT_TRUE(ours == theirs) << "first difference in line: ours  " << ours.substr(line, 120)
                                << "\n                  xlrd  " << theirs.substr(line, 120);
}

// Not the gnumeric Excel 95 files: xlrd stops at their Shift_JIS defined names, and reads only
// the first record of a label continued in CONTINUE records (2072 of 5000 characters). The
// kitchen-sink test checks those files cell by cell.
INSTANTIATE_TEST_SUITE_P(Samples, AgainstXlrd,
                         ::testing::Values("lo_kitchen.xls", "xlwt_kitchen.xls", "gnm_biff8.xls", "gnm_chartsheet.xls",
                                           "lo_chart_embedded.xls", "sheettypes.xls", "xlwt_1904.xls"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

}  // namespace
