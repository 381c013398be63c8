// Reader of Office Open XML workbooks: a zip package whose workbook part lists the sheets in tab
// order and points at them through its relationships. Small parts (relationships, workbook,
// styles) are read with pugixml; sheets and shared strings, which can be large, with the
// streaming parser, keeping only the cells inside the caller's bounds.
#include "xlsx_workbook.h"

#include <zip.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <pugixml.hpp>
#include <unordered_map>
#include <vector>

#include "civil_date.h"
#include "date_format.h"
#include "xlsx_package.h"
#include "xlsx_xml.h"

namespace xls {
namespace {

using xlsx::XmlPull;
using xlsx::folderOf;
using xlsx::relsPartOf;
using xlsx::resolveTarget;
using xlsx::zipReason;

constexpr zip_uint64_t kMaxSmallPart = 64u << 20;  // workbook, relationships, styles

enum class SheetKind { Worksheet, Chart, Other };

struct SheetEntry {
    std::string name;
    std::string part;  // zip entry name of a worksheet's part
    SheetKind kind = SheetKind::Other;
};

struct Relationship {
    std::string type;    // last segment of the relationship type, e.g. "worksheet"
    std::string target;  // resolved zip entry name
};

bool equalsNoCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

// A number as SpreadsheetML writes it ("10", "1.5", "1E-7", "-0.25"); false if it is not one.
// from_chars does not depend on the process locale.
bool parseNumber(const std::string& text, double& out) {
    std::string t = trimmed(text);
    if (!t.empty() && t[0] == '+') t.erase(0, 1);
    if (t.empty()) return false;
    const char* end = t.data() + t.size();
    auto res = std::from_chars(t.data(), end, out);
    return res.ec == std::errc() && res.ptr == end && std::isfinite(out);
}

bool parseUnsigned(const std::string& text, long long& out) {
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > 18) return false;
    out = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

// "CU999" -> row 999, column 99. False for anything else.
bool parseCellRef(const std::string& ref, long long& row, long long& col) {
    size_t i = 0;
    col = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        const char c = static_cast<char>(ref[i] & ~0x20);
        col = col * 26 + (c - 'A' + 1);
        if (++i > 3) return false;
    }
    if (i == 0) return false;
    row = 0;
    const size_t digits = i;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9' || i - digits >= 7) return false;
        row = row * 10 + (ref[i] - '0');
    }
    return i > digits && row >= 1;
}

// A t="d" cell: ISO 8601 "2024-03-15", "2024-03-15T13:45:30(.5)(Z)" or a time "13:45:30".
// Gives the serial day number in the workbook's date system.
bool parseIsoDate(const std::string& text, bool date1904, double& serial) {
    const std::string t = trimmed(text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    size_t pos = 0;
    auto num = [&](int digits, int& out) {
        out = 0;
        for (int k = 0; k < digits; ++k, ++pos) {
            if (pos >= t.size() || t[pos] < '0' || t[pos] > '9') return false;
            out = out * 10 + (t[pos] - '0');
        }
        return true;
    };
    bool hasDate = false;
    if (t.size() >= 10 && t[4] == '-') {
        if (!num(4, y) || t[pos++] != '-' || !num(2, mo) || t[pos++] != '-' || !num(2, d)) return false;
        if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
        hasDate = true;
        if (pos < t.size() && t[pos] == 'T') ++pos;
    }
    if (pos < t.size() && t[pos] != 'Z') {
        int sec = 0;
        if (!num(2, h) || pos >= t.size() || t[pos++] != ':' || !num(2, mi)) return false;
        if (pos < t.size() && t[pos] == ':') {
            ++pos;
            if (!num(2, sec)) return false;
            s = sec;
            if (pos < t.size() && t[pos] == '.') {
                double scale = 0.1;
                for (++pos; pos < t.size() && t[pos] >= '0' && t[pos] <= '9'; ++pos, scale /= 10) s += (t[pos] - '0') * scale;
            }
        }
        if (h > 24 || mi > 59 || s >= 61) return false;
    }
    if (pos < t.size() && t[pos] == 'Z') ++pos;
    if (pos != t.size()) return false;
    double day = 0;
    if (hasDate) {
        const long long days = base::daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
        if (date1904) {
            day = static_cast<double>(days - base::daysFromCivil(1904, 1, 1));
        } else {
            day = static_cast<double>(days - base::kOleDateEpoch);
            if (day < 61) day -= 1;  // before March 1900 the 1900 system is one day behind
        }
        if (day < 0) return false;
    }
    serial = day + (h * 3600 + mi * 60 + s) / 86400.0;
    return true;
}

pugi::xml_node child(pugi::xml_node node, const char* local) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && std::strcmp(xlsx::localName(c.name()), local) == 0) return c;
    return pugi::xml_node();
}

pugi::xml_attribute attribute(pugi::xml_node node, const char* local) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (std::strcmp(xlsx::localName(a.name()), local) == 0) return a;
    return pugi::xml_attribute();
}

// Damage found while parsing a part; the part and the file are named further up.
[[noreturn]] void damagedPart(const std::string& what) { throw Error(Error::Kind::Damaged, what); }

class XlsxWorkbook : public Workbook {
public:
    XlsxWorkbook(const std::string& path, const OpenOptions& options) : path_(path), options_(options) {
        int err = 0;
        // No ZIP_CHECKCONS: it refuses some packages that spreadsheet programs open; damage inside a
        // part still shows as a CRC or inflate error when the part is read.
        zip_ = zip_open(path.c_str(), ZIP_RDONLY, &err);
        if (!zip_) {
            zip_error_t ze;
            zip_error_init_with_code(&ze, err);  // also takes errno for the failures it comes with
            const std::string why = zipReason(&ze);
            zip_error_fini(&ze);
            // The file begins like a zip archive, so a missing end record means it was cut short.
            if (err == ZIP_ER_NOZIP || err == ZIP_ER_EOF)
                throw Error(Error::Kind::Truncated, "zip の末尾にある目次がありません").inFile(path);
            if (err == ZIP_ER_INCONS) throw Error(Error::Kind::Damaged, why).inFile(path);
            if (err == ZIP_ER_READ || err == ZIP_ER_SEEK)
                throw Error(Error::Kind::Damaged, "zip の目次を読み取れません: " + why).inFile(path);
            throw Error(Error::Kind::CannotOpen, why).inFile(path);
        }
        try {
            load();
        } catch (...) {
            zip_discard(zip_);
            zip_ = nullptr;
            throw;
        }
    }

    ~XlsxWorkbook() override {
        if (zip_) zip_discard(zip_);
    }

    int sheetCount() const override { return static_cast<int>(sheets_.size()); }

    std::string sheetName(int sheet) const override {
        if (sheet < 0 || sheet >= sheetCount()) return std::string();
        return sheets_[static_cast<size_t>(sheet)].name;
    }

    Cell cell(int sheet, int row, int col) override {
        if (sheet < 0 || sheet >= sheetCount() || row < 1 || col < 1 || row > options_.maxRow || col > options_.maxCol)
            return Cell();
        const SheetEntry& entry = sheets_[static_cast<size_t>(sheet)];
        if (entry.kind != SheetKind::Worksheet) return Cell();
        if (loadedSheet_ != sheet) loadSheet(sheet);
        auto it = cells_.find(key(row, col));
        return it == cells_.end() ? Cell() : it->second;
    }

private:
    static uint64_t key(long long row, long long col) { return (static_cast<uint64_t>(row) << 20) | static_cast<uint64_t>(col); }

    [[noreturn]] void corrupt(const std::string& what) const {
        throw Error(Error::Kind::Damaged, what).inFile(path_);
    }

    bool hasEntry(const std::string& name) const { return zip_name_locate(zip_, name.c_str(), 0) >= 0; }

    // A small part read whole; false when the package has no such entry.
    bool readSmallPart(const std::string& name, std::string& out) const {
        zip_stat_t st;
        const zip_int64_t index = zip_name_locate(zip_, name.c_str(), 0);
        if (index < 0) return false;
        if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) != 0)
            corrupt(name + " を読み取れません: " + zipReason(zip_get_error(zip_)));
        if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxSmallPart) corrupt(name + " が大きすぎます");
        zip_file_t* f = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
        if (!f) corrupt(name + " を読み取れません: " + zipReason(zip_get_error(zip_)));
        out.clear();
        char buf[65536];
        for (;;) {
            const zip_int64_t n = zip_fread(f, buf, sizeof buf);
            if (n < 0) {
                const std::string why = zipReason(zip_file_get_error(f));
                zip_fclose(f);
                corrupt(name + " を読み取れません: " + why);
            }
            if (n == 0) break;
            out.append(buf, static_cast<size_t>(n));
            if (out.size() > kMaxSmallPart) {
                zip_fclose(f);
                corrupt(name + " が大きすぎます");
            }
        }
        zip_fclose(f);
        return true;
    }

    void parseSmallPart(const std::string& name, pugi::xml_document& doc) const {
        std::string data;
        if (!readSmallPart(name, data)) corrupt(name + " がありません");
        const pugi::xml_parse_result r =
            doc.load_buffer(data.data(), data.size(), pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_auto);
        if (!r) corrupt(name + " の XML の形式が正しくありません: " + r.description());
    }

    // Relationships of a part, by id.
    std::unordered_map<std::string, Relationship> relationships(const std::string& part) const {
        std::unordered_map<std::string, Relationship> rels;
        const std::string relsName = relsPartOf(part);
        if (!hasEntry(relsName)) return rels;
        pugi::xml_document doc;
        parseSmallPart(relsName, doc);
        for (pugi::xml_node r = child(doc, "Relationships").first_child(); r; r = r.next_sibling()) {
            if (r.type() != pugi::node_element || std::strcmp(xlsx::localName(r.name()), "Relationship") != 0) continue;
            if (equalsNoCase(r.attribute("TargetMode").value(), "External")) continue;
            std::string type = r.attribute("Type").value();
            const size_t slash = type.rfind('/');
            if (slash != std::string::npos) type.erase(0, slash + 1);
            rels[r.attribute("Id").value()] = Relationship{type, resolveTarget(folderOf(part), r.attribute("Target").value())};
        }
        return rels;
    }

    void refuseNonWorkbook() const {
        std::string mime;
        if (readSmallPart("mimetype", mime) && mime.find("opendocument") != std::string::npos)
            throw Error(Error::Kind::NotWorkbook, "OpenDocument 形式のファイルです: " + trimmed(mime)).inFile(path_);
        throw Error(Error::Kind::NotWorkbook, "ブックのパーツがない zip ファイルです").inFile(path_);
    }

    void load() {
        // The workbook part, through the package relationships; the usual name when they are absent.
        std::string workbookPart;
        for (const auto& kv : relationships(""))
            if (kv.second.type == "officeDocument" && hasEntry(kv.second.target)) workbookPart = kv.second.target;
        if (workbookPart.empty() && hasEntry("xl/workbook.xml")) workbookPart = "xl/workbook.xml";
        if (workbookPart.empty()) refuseNonWorkbook();

        pugi::xml_document doc;
        parseSmallPart(workbookPart, doc);
        const pugi::xml_node wb = child(doc, "workbook");
        if (!wb) refuseNonWorkbook();
        const std::string d1904 = attribute(child(wb, "workbookPr"), "date1904").value();
        date1904_ = d1904 == "1" || equalsNoCase(d1904, "true");

        const auto rels = relationships(workbookPart);
        for (pugi::xml_node s = child(wb, "sheets").first_child(); s; s = s.next_sibling()) {
            if (s.type() != pugi::node_element || std::strcmp(xlsx::localName(s.name()), "sheet") != 0) continue;
            SheetEntry entry;
            entry.name = s.attribute("name").value();
            // r:id: the only attribute named "id" that carries a namespace prefix.
            std::string id;
            for (pugi::xml_attribute a = s.first_attribute(); a; a = a.next_attribute())
                if (std::strchr(a.name(), ':') && std::strcmp(xlsx::localName(a.name()), "id") == 0) id = a.value();
            const auto it = rels.find(id);
            if (it == rels.end()) corrupt("シート「" + entry.name + "」のパーツが指定されていません");
            if (it->second.type == "worksheet") {
                entry.kind = SheetKind::Worksheet;
                entry.part = it->second.target;
                if (!hasEntry(entry.part)) corrupt("シート「" + entry.name + "」のパーツがありません");
            } else if (it->second.type == "chartsheet") {
                entry.kind = SheetKind::Chart;
            }
            sheets_.push_back(std::move(entry));
        }
        if (sheets_.empty()) corrupt("ブックにシートが1つもありません");

        for (const auto& kv : rels) {
            if (kv.second.type == "styles" && hasEntry(kv.second.target)) loadStyles(kv.second.target);
            if (kv.second.type == "sharedStrings" && hasEntry(kv.second.target)) loadSharedStrings(kv.second.target);
        }
    }

    void loadStyles(const std::string& part) {
        pugi::xml_document doc;
        parseSmallPart(part, doc);
        const pugi::xml_node ss = child(doc, "styleSheet");
        std::unordered_map<long long, bool> custom;
        for (pugi::xml_node f = child(ss, "numFmts").first_child(); f; f = f.next_sibling()) {
            long long id;
            if (std::strcmp(xlsx::localName(f.name()), "numFmt") != 0 || !parseUnsigned(f.attribute("numFmtId").value(), id))
                continue;
            custom[id] = isDateFormatCode(f.attribute("formatCode").value());
        }
        for (pugi::xml_node x = child(ss, "cellXfs").first_child(); x; x = x.next_sibling()) {
            if (x.type() != pugi::node_element || std::strcmp(xlsx::localName(x.name()), "xf") != 0) continue;
            long long id = 0;
            bool date = false;
            if (parseUnsigned(x.attribute("numFmtId").value(), id)) {
                const auto it = custom.find(id);
                date = it != custom.end() ? it->second : isBuiltinDateFormat(id);
            }
            xfIsDate_.push_back(date);
        }
    }

    std::unique_ptr<XmlPull> openStream(const std::string& part, zip_file_t*& file) const {
        file = zip_fopen(zip_, part.c_str(), 0);
        if (!file) corrupt(part + " を読み取れません: " + zipReason(zip_get_error(zip_)));
        return std::make_unique<XmlPull>([this, file, part](char* buf, size_t cap) -> size_t {
            const zip_int64_t n = zip_fread(file, buf, cap);
            if (n < 0) corrupt(part + " を読み取れません: " + zipReason(zip_file_get_error(file)));
            return static_cast<size_t>(n);
        });
    }

    // Runs fn over a streamed part, closing it on every path and naming the part in parse errors.
    template <typename Fn>
    void streamPart(const std::string& part, Fn fn) const {
        zip_file_t* file = nullptr;
        auto parser = openStream(part, file);
        try {
            fn(*parser);
        } catch (const Error& e) {
            zip_fclose(file);
            if (!e.path().empty()) throw;  // already tells where
            throw Error(e.kind(), part + ": " + e.detail()).inFile(path_);
        } catch (...) {
            zip_fclose(file);
            throw;
        }
        zip_fclose(file);
    }

    // Text of a string item (<si> or <is>): its <t> elements, directly or in rich-text runs;
    // phonetic runs (<rPh>) and their text are skipped. Called after the item's Start event.
    static std::string readStringItem(XmlPull& p) {
        std::string out;
        int depth = 1, phonetic = 0, inT = 0;
        for (;;) {
            switch (p.next()) {
            case XmlPull::Start:
                ++depth;
                if (p.name() == "rPh") ++phonetic;
                else if (p.name() == "t" && phonetic == 0) ++inT;
                break;
            case XmlPull::End:
                --depth;
                if (p.name() == "rPh" && phonetic > 0) --phonetic;
                else if (p.name() == "t" && inT > 0 && phonetic == 0) --inT;
                if (depth == 0) return xlsx::decodeEscapes(out);
                break;
            case XmlPull::Text:
                if (inT > 0) out += p.text();
                break;
            case XmlPull::Eof:
                damagedPart("文字列の項目が途中で終わっています");
            }
        }
    }

    void loadSharedStrings(const std::string& part) {
        streamPart(part, [this](XmlPull& p) {
            for (XmlPull::Event ev; (ev = p.next()) != XmlPull::Eof;)
                if (ev == XmlPull::Start && p.name() == "si") sharedStrings_.push_back(readStringItem(p));
        });
    }

    void loadSheet(int sheet) {
        cells_.clear();
        loadedSheet_ = -1;
        const SheetEntry& entry = sheets_[static_cast<size_t>(sheet)];
        try {
            streamPart(entry.part, [this](XmlPull& p) { readSheetData(p); });
        } catch (const Error& e) {
            cells_.clear();
            throw e.inSheet(sheet, entry.name);
        }
        loadedSheet_ = sheet;
    }

    void readSheetData(XmlPull& p) {
        bool inData = false;
        long long row = 0, col = 0;
        for (XmlPull::Event ev; (ev = p.next()) != XmlPull::Eof;) {
            if (ev == XmlPull::End) {
                if (p.name() == "sheetData") inData = false;
                continue;
            }
            if (ev != XmlPull::Start) continue;
            const std::string& name = p.name();
            if (name == "sheetData") {
                inData = true;
            } else if (inData && name == "row") {
                long long r;
                const std::string* ra = p.attr("r");
                if (ra) {
                    if (!parseUnsigned(*ra, r) || r < 1) damagedPart("行番号「" + *ra + "」が正しくありません");
                    row = r;
                } else {
                    ++row;
                }
                col = 0;
            } else if (inData && name == "c") {
                readCell(p, row, col);
            }
        }
    }

    // What a <c> element holds: its cached value (<v>) and its inline string (<is>).
    struct CellContent {
        std::string value;
        std::string inlineText;
        bool hasValue = false;
        bool hasInline = false;
    };

    // Reads the rest of a <c> element; `keep`: the cell is within the bounds (else its text is
    // skipped).
    CellContent readCellContent(XmlPull& p, bool keep) {
        CellContent c;
        int depth = 1;
        bool inV = false;
        while (depth > 0) {
            switch (p.next()) {
            case XmlPull::Start:
                if (depth == 1 && p.name() == "is") {
                    if (keep) {
                        c.inlineText = readStringItem(p);
                    } else {
                        readStringItem(p);  // consumes through </is>
                    }
                    c.hasInline = true;
                    break;
                }
                ++depth;
                if (depth == 2 && p.name() == "v") {
                    inV = true;
                    c.hasValue = true;
                }
                break;
            case XmlPull::End:
                --depth;
                inV = false;
                break;
            case XmlPull::Text:
                if (inV && keep) c.value += p.text();
                break;
            case XmlPull::Eof:
                damagedPart("セルが途中で終わっています");
            }
        }
        return c;
    }

    // The cell a <c> element of type `type` (its t attribute) and style `style` stands for; false
    // for a formatted blank or a formula without a cached result.
    bool cellOf(const std::string& type, long long style, const CellContent& in, Cell& cell) const {
        const std::string& value = in.value;
        if (type == "inlineStr") {
            if (!in.hasInline && !in.hasValue) return false;
            cell.kind = CellKind::Text;
            cell.text = in.hasInline ? in.inlineText : xlsx::decodeEscapes(value);
        } else if (!in.hasValue || (value.empty() && type != "str")) {
            return false;
        } else if (type == "s") {
            long long index;
            if (!parseUnsigned(value, index) || index >= static_cast<long long>(sharedStrings_.size()))
                damagedPart("共有文字列の番号「" + value + "」が範囲外です");
            cell.kind = CellKind::Text;
            cell.text = sharedStrings_[static_cast<size_t>(index)];
        } else if (type == "str") {
            cell.kind = CellKind::Text;
            cell.text = xlsx::decodeEscapes(value);
        } else if (type == "b") {
            const std::string v = trimmed(value);
            cell.kind = CellKind::Boolean;
            if (v == "1" || equalsNoCase(v, "true")) cell.boolean = true;
            else if (v == "0" || equalsNoCase(v, "false")) cell.boolean = false;
            else damagedPart("論理値「" + value + "」が正しくありません");
        } else if (type == "e") {
            cell.kind = CellKind::Error;
            cell.text = trimmed(value);
        } else if (type == "d") {
            dateCell(value, cell);
        } else {
            double number;
            if (!parseNumber(value, number)) damagedPart("数値「" + value + "」が正しくありません");
            cell.kind = CellKind::Number;
            cell.number = number;
            cell.isDate = style >= 0 && style < static_cast<long long>(xfIsDate_.size()) && xfIsDate_[static_cast<size_t>(style)];
            cell.date1904 = date1904_;
        }
        return true;
    }

    // A cell of type "d": an ISO 8601 date, or (where the calendar cannot place it) its text.
    void dateCell(const std::string& value, Cell& cell) const {
        double serial;
        if (parseIsoDate(value, date1904_, serial)) {
            cell.kind = CellKind::Number;
            cell.number = serial;
            cell.isDate = true;
            cell.date1904 = date1904_;
        } else {
            cell.kind = CellKind::Text;  // a date the calendar cannot place: keep what was written
            cell.text = value;
        }
    }

    // One <c> element (after its Start event): position, kind and value.
    void readCell(XmlPull& p, long long& row, long long& col) {
        const std::string* ra = p.attr("r");
        if (ra) {
            long long r, c;
            if (!parseCellRef(*ra, r, c)) damagedPart("セル参照「" + *ra + "」が正しくありません");
            row = r;
            col = c;
        } else {
            if (row == 0) row = 1;
            ++col;
        }
        std::string type = p.attr("t") ? *p.attr("t") : std::string("n");
        long long style = 0;
        if (const std::string* s = p.attr("s")) parseUnsigned(*s, style);
        const bool keep = row <= options_.maxRow && col <= options_.maxCol;
        const CellContent content = readCellContent(p, keep);
        if (!keep) return;
        Cell cell;
        if (cellOf(type, style, content, cell)) cells_[key(row, col)] = std::move(cell);
    }

    std::string path_;
    OpenOptions options_;
    zip_t* zip_ = nullptr;
    bool date1904_ = false;
    std::vector<SheetEntry> sheets_;
    std::vector<std::string> sharedStrings_;
    std::vector<bool> xfIsDate_;
    // The cells of the one sheet read last, within the bounds.
    int loadedSheet_ = -1;
    std::unordered_map<uint64_t, Cell> cells_;
};

}  // namespace

std::unique_ptr<Workbook> openXlsxWorkbook(const std::string& path, const OpenOptions& options) {
    return std::make_unique<XlsxWorkbook>(path, options);
}

}  // namespace xls
