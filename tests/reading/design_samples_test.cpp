// Every design-document sample reads to exactly the result recorded beside it, from .xls and .xlsx.
// The recorded JSON (whitespace outside strings removed) is compared with the same JSON written
// from our reading.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "clsExcelDBDoc.h"
#include "clsExcelDBDocInfo.h"

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/reading/";

std::string compactJson(const std::string& text) {
    std::string out;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            out += c;
            if (c == '\\' && i + 1 < text.size()) out += text[++i];
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
            out += c;
        } else if (c != ' ' && c != '\n' && c != '\r' && c != '\t') {
            out += c;
        }
    }
    return out;
}

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string resultJson(const std::string& workbook, const std::string& layoutFile, const clsExcelDBDocInfo& l,
                       const clsDBInfo& db) {
    std::ostringstream o;
    o << "{\"workbook\":" << quote(workbook) << ",\"layoutFile\":" << quote(layoutFile) << ",\"layout\":{"
      << "\"StartSheetNo\":" << l.getStartPage() << ",\"EndSheetNo\":" << l.getEndPage()
      << ",\"RowTableName\":" << l.getRowTableName() << ",\"ColTableName\":" << l.getColTableName()
      << ",\"StartRowFieldDef\":" << l.getStartRowFieldDef() << ",\"ColFieldName\":" << l.getColFieldName()
      << ",\"ColFieldType\":" << l.getColFieldType() << ",\"ColFieldSize\":" << l.getColFieldSize()
      << ",\"ColPrimaryKey\":" << l.getColPrimaryKey() << ",\"ColNULL\":" << l.getColNULL() << "},\"tables\":[";
    const char* tableSep = "";
    for (const auto& t : db.getTables()) {
        o << tableSep << "{\"name\":" << quote(t->getName()) << ",\"fields\":[";
        const char* sep = "";
        for (const auto& f : t->getFields()) {
            o << sep << "{\"name\":" << quote(f->getName()) << ",\"attr\":" << quote(f->getAttr())
              << ",\"size\":" << quote(f->getSize()) << ",\"null\":" << (f->getNull() ? "true" : "false") << "}";
            sep = ",";
        }
        o << "],\"primaryKeys\":[";
        sep = "";
        for (const auto& k : t->getPrimaryKeys()) {
            o << sep << quote(k);
            sep = ",";
        }
        o << "]}";
        tableSep = ",";
    }
    o << "]}";
    return o.str();
}

struct Sample {
    const char* layout;    // .edf base name
    const char* workbook;  // file name
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.workbook; }

class DesignSample : public ::testing::TestWithParam<Sample> {};

TEST_P(DesignSample, ReadsToTheRecordedResult) {
    const Sample s = GetParam();
    std::ifstream in(kData + s.workbook + ".json", std::ios::binary);
    ASSERT_TRUE(in);
    std::ostringstream recorded;
    recorded << in.rdbuf();

    clsExcelDBDocInfo objInfo;
    ASSERT_TRUE(objInfo.fnReadFile(kData + s.layout + ".edf"));
    clsExcelDBDoc objDoc;
    objDoc.sbSetDocInfo(objInfo);
    ASSERT_TRUE(objDoc.fnReadDBDoc(kData + s.workbook)) << objDoc.getLastError();
    EXPECT_EQ(resultJson(s.workbook, std::string(s.layout) + ".edf", objInfo, *objDoc.getDBInfo()),
              compactJson(recorded.str()));
}

INSTANTIATE_TEST_SUITE_P(Samples, DesignSample,
                         ::testing::Values(Sample{"sales_design", "sales_design.xlsx"},
                                           Sample{"sales_design", "sales_design.xls"},
                                           Sample{"hr_design_ja", "hr_design_ja.xlsx"},
                                           Sample{"hr_design_ja", "hr_design_ja.xls"}),
                         [](const auto& info) {
                             std::string n = info.param.workbook;
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

}  // namespace
