// Our reader against python3-xlrd over the same files: every cell of every worksheet within
// the reading window must have the same kind and value. Skipped when xlrd is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "biff_workbook.h"
#include "cell.h"

using xls::Cell;
using xls::CellKind;

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/xls/";

// Prints "S<TAB>name" per worksheet and "C<TAB>row<TAB>col<TAB>kind<TAB>value" per cell,
// with backslash escapes for backslash, tab, CR and LF. Exit status 3: no xlrd.
const char* const kScript = R"PY(
import sys
try:
    import xlrd
except ImportError:
    sys.exit(3)
def esc(s):
    return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")
book = xlrd.open_workbook(sys.argv[1])
out = sys.stdout
for sh in book.sheets():
    out.write("S\t%s\n" % esc(sh.name))
    for r in range(min(sh.nrows, 999)):
        for c in range(min(sh.ncols, 99)):
            cell = sh.cell(r, c)
            t = cell.ctype
            if t in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            if t == xlrd.XL_CELL_TEXT:
                v = "T\t" + esc(cell.value)
            elif t == xlrd.XL_CELL_NUMBER:
                v = "N\t" + repr(float(cell.value))
            elif t == xlrd.XL_CELL_DATE:
                v = "D\t" + repr(float(cell.value))
            elif t == xlrd.XL_CELL_BOOLEAN:
                v = "B\t" + str(int(cell.value))
            else:
                v = "E\t" + xlrd.error_text_from_code.get(cell.value, "?")
            out.write("C\t%d\t%d\t%s\n" % (r + 1, c + 1, v))
)PY";

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        const char n = s[++i];
        out.push_back(n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n);
    }
    return out;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : line) {
        if (c == '\t') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    parts.push_back(cur);
    return parts;
}

struct XlrdCell {
    char kind;
    std::string value;
};
struct XlrdSheet {
    std::string name;
    std::map<std::pair<int, int>, XlrdCell> cells;
};

// Runs xlrd over the file; false when xlrd is not available.
bool readWithXlrd(const std::string& path, std::vector<XlrdSheet>& sheets) {
    if (!std::filesystem::exists("/usr/bin/python3")) return false;
    const std::string script =
        (std::filesystem::temp_directory_path() / ("xlsdb_biff_xlrd_" + std::to_string(getpid()) + ".py")).string();
    std::ofstream(script) << kScript;
    const std::string cmd = "/usr/bin/python3 '" + script + "' '" + path + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return false;
    std::string all;
    char buf[65536];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) all.append(buf, n);
    const int status = pclose(p);
    std::filesystem::remove(script);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return false;
    EXPECT_EQ(status, 0) << "xlrd failed on " << path;
    std::istringstream in(all);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = split(line);
        if (f[0] == "S" && f.size() == 2) {
            sheets.push_back({unescape(f[1]), {}});
        } else if (f[0] == "C" && f.size() == 5 && !sheets.empty()) {
            sheets.back().cells[{std::stoi(f[1]), std::stoi(f[2])}] = {f[3][0], unescape(f[4])};
        }
    }
    return true;
}

class AgainstXlrd : public ::testing::TestWithParam<std::string> {};

TEST_P(AgainstXlrd, SameCells) {
    const std::string path = kData + GetParam();
    std::vector<XlrdSheet> expected;
    if (!readWithXlrd(path, expected)) GTEST_SKIP() << "python3-xlrd not available";
    ASSERT_FALSE(expected.empty());
    auto book = xls::openBiffWorkbook(path);
    // xlrd lists worksheets only; ours has them in the same order among the other sheets.
    int ours = 0;
    for (const XlrdSheet& sheet : expected) {
        while (ours < book->sheetCount() && book->sheetName(ours) != sheet.name) ++ours;
        ASSERT_LT(ours, book->sheetCount()) << "sheet " << sheet.name << " missing";
        SCOPED_TRACE(sheet.name);
        int compared = 0;
        for (int r = 1; r <= 999; ++r) {
            for (int c = 1; c <= 99; ++c) {
                const Cell cell = book->cell(ours, r, c);
                const auto it = sheet.cells.find({r, c});
                if (it == sheet.cells.end()) {
                    EXPECT_EQ(cell.kind, CellKind::Empty) << "row " << r << " col " << c;
                    continue;
                }
                ++compared;
                const XlrdCell& x = it->second;
                SCOPED_TRACE("row " + std::to_string(r) + " col " + std::to_string(c));
                switch (x.kind) {
                    case 'T':
                        ASSERT_EQ(cell.kind, CellKind::Text);
                        EXPECT_TRUE(cell.text == x.value) << "text differs, lengths " << cell.text.size() << " / " << x.value.size();
                        break;
                    case 'N':
                    case 'D':
                        ASSERT_EQ(cell.kind, CellKind::Number);
                        EXPECT_EQ(cell.number, std::strtod(x.value.c_str(), nullptr));
                        EXPECT_EQ(cell.isDate, x.kind == 'D');
                        break;
                    case 'B':
                        ASSERT_EQ(cell.kind, CellKind::Boolean);
                        EXPECT_EQ(cell.boolean, x.value == "1");
                        break;
                    default:
                        ASSERT_EQ(cell.kind, CellKind::Error);
                        EXPECT_EQ(cell.text, x.value);
                        break;
                }
            }
        }
        EXPECT_EQ(compared, int(sheet.cells.size()));
        ++ours;
    }
}

// Not the gnumeric Excel 95 files: xlrd stops at their Shift_JIS defined names, and reads only
// the first record of a label continued in CONTINUE records (2072 of 5000 characters). The
// kitchen-sink test checks those files cell by cell.
INSTANTIATE_TEST_SUITE_P(Samples, AgainstXlrd,
                         ::testing::Values("lo_kitchen.xls", "xlwt_kitchen.xls", "gnm_biff8.xls", "gnm_chartsheet.xls",
                                           "lo_chart_embedded.xls", "sheettypes.xls", "xlwt_1904.xls"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param.substr(0, info.param.find('.'));
                             return n;
                         });

}  // namespace
