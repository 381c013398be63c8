// Reader of Office Open XML workbooks: a zip package whose workbook part lists the sheets in tab
// order and points at them through its relationships. Small parts (relationships, workbook,
// styles) are read with pugixml; sheets and shared strings, which can be large, with the
// streaming parser, keeping only the cells inside the caller's bounds.
#include "xlsx_workbook.h"

#include <cstdint>
#include <cstring>
#include <pugixml.hpp>
#include <unordered_map>
#include <vector>

#include "date_format.h"
#include "xlsx_package.h"
#include "xlsx_values.h"
#include "xlsx_xml.h"

namespace xls {
namespace {

using xlsx::equalsNoCase;
using xlsx::parseCellRef;
using xlsx::parseIsoDate;
using xlsx::parseNumber;
using xlsx::parseUnsigned;
using xlsx::trimmed;
using xlsx::XmlPull;

enum class SheetKind { Worksheet, Chart, Other };

struct SheetEntry {
    std::string name;
    std::string part;  // name of a worksheet's part
    SheetKind kind = SheetKind::Other;
};

pugi::xml_attribute attribute(pugi::xml_node node, const char* local) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (std::strcmp(xlsx::localName(a.name()), local) == 0) return a;
    return pugi::xml_attribute();
}

// Damage found while parsing a part; the part and the file are named further up.
[[noreturn]] void damagedPart(const std::string& what) { throw Error(Error::Kind::Damaged, what); }

class XlsxWorkbook : public Workbook {
public:
    XlsxWorkbook(const std::string& path, const OpenOptions& options) : pkg_(path), options_(options) { load(); }

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

    void refuseNonWorkbook() const {
        std::string mime;
        if (pkg_.readSmallPart("mimetype", mime) && mime.find("opendocument") != std::string::npos)
            throw Error(Error::Kind::NotWorkbook, "OpenDocument 形式のファイルです: " + trimmed(mime)).inFile(pkg_.path());
        throw Error(Error::Kind::NotWorkbook, "ブックのパーツがない zip ファイルです").inFile(pkg_.path());
    }

    void load() {
        // The workbook part, through the package relationships; the usual name when they are absent.
        std::string workbookPart;
        for (const auto& kv : pkg_.relationships(""))
            if (kv.second.type == "officeDocument" && pkg_.hasPart(kv.second.target)) workbookPart = kv.second.target;
        if (workbookPart.empty() && pkg_.hasPart("xl/workbook.xml")) workbookPart = "xl/workbook.xml";
        if (workbookPart.empty()) refuseNonWorkbook();

        pugi::xml_document doc;
        pkg_.parseSmallPart(workbookPart, doc);
        const pugi::xml_node wb = xlsx::childElement(doc, "workbook");
        if (!wb) refuseNonWorkbook();
        const std::string d1904 = attribute(xlsx::childElement(wb, "workbookPr"), "date1904").value();
        date1904_ = d1904 == "1" || equalsNoCase(d1904, "true");

        const auto rels = pkg_.relationships(workbookPart);
        for (pugi::xml_node s = xlsx::childElement(wb, "sheets").first_child(); s; s = s.next_sibling()) {
            if (s.type() != pugi::node_element || std::strcmp(xlsx::localName(s.name()), "sheet") != 0) continue;
            SheetEntry entry;
            entry.name = s.attribute("name").value();
            // r:id: the only attribute named "id" that carries a namespace prefix.
            std::string id;
            for (pugi::xml_attribute a = s.first_attribute(); a; a = a.next_attribute())
                if (std::strchr(a.name(), ':') && std::strcmp(xlsx::localName(a.name()), "id") == 0) id = a.value();
            const auto it = rels.find(id);
            if (it == rels.end()) pkg_.corrupt("シート「" + entry.name + "」のパーツが指定されていません");
            if (it->second.type == "worksheet") {
                entry.kind = SheetKind::Worksheet;
                entry.part = it->second.target;
                if (!pkg_.hasPart(entry.part)) pkg_.corrupt("シート「" + entry.name + "」のパーツがありません");
            } else if (it->second.type == "chartsheet") {
                entry.kind = SheetKind::Chart;
            }
            sheets_.push_back(std::move(entry));
        }
        if (sheets_.empty()) pkg_.corrupt("ブックにシートが1つもありません");

        for (const auto& kv : rels) {
            if (kv.second.type == "styles" && pkg_.hasPart(kv.second.target)) loadStyles(kv.second.target);
            if (kv.second.type == "sharedStrings" && pkg_.hasPart(kv.second.target)) loadSharedStrings(kv.second.target);
        }
    }

    void loadStyles(const std::string& part) {
        pugi::xml_document doc;
        pkg_.parseSmallPart(part, doc);
        const pugi::xml_node ss = xlsx::childElement(doc, "styleSheet");
        std::unordered_map<long long, bool> custom;
        for (pugi::xml_node f = xlsx::childElement(ss, "numFmts").first_child(); f; f = f.next_sibling()) {
            long long id;
            if (std::strcmp(xlsx::localName(f.name()), "numFmt") != 0 || !parseUnsigned(f.attribute("numFmtId").value(), id))
                continue;
            custom[id] = isDateFormatCode(f.attribute("formatCode").value());
        }
        for (pugi::xml_node x = xlsx::childElement(ss, "cellXfs").first_child(); x; x = x.next_sibling()) {
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
        pkg_.streamPart(part, [this](XmlPull& p) {
            for (XmlPull::Event ev; (ev = p.next()) != XmlPull::Eof;)
                if (ev == XmlPull::Start && p.name() == "si") sharedStrings_.push_back(readStringItem(p));
        });
    }

    void loadSheet(int sheet) {
        cells_.clear();
        loadedSheet_ = -1;
        const SheetEntry& entry = sheets_[static_cast<size_t>(sheet)];
        try {
            pkg_.streamPart(entry.part, [this](XmlPull& p) { readSheetData(p); });
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

    xlsx::Package pkg_;
    OpenOptions options_;
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
