// Every design-document sample reads to exactly the result recorded beside it, from .xls and .xlsx.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "clsExcel.h"
#include "clsExcelDBDoc.h"
#include "clsExcelDBDocInfo.h"
#include "json_lite.h"

namespace {

const std::string kData = std::string(XLSDB_TEST_DATA) + "/reading/";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Sample {
    const char* layout;    // .edf base name
    const char* workbook;  // file name
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.workbook; }

class DesignSample : public ::testing::TestWithParam<Sample> {};

TEST_P(DesignSample, ReadsToTheRecordedResult) {
    const Sample s = GetParam();
    const jsonlite::Value expected = jsonlite::parse(slurp(kData + s.workbook + ".json"));

    clsExcelDBDocInfo objInfo;
    ASSERT_TRUE(objInfo.fnReadFile(kData + s.layout + ".edf"));
    const jsonlite::Value& lay = expected["layout"];
    EXPECT_EQ(objInfo.getStartPage(), lay["StartSheetNo"].n);
    EXPECT_EQ(objInfo.getEndPage(), lay["EndSheetNo"].n);
    EXPECT_EQ(objInfo.getRowTableName(), lay["RowTableName"].n);
    EXPECT_EQ(objInfo.getColTableName(), lay["ColTableName"].n);
    EXPECT_EQ(objInfo.getStartRowFieldDef(), lay["StartRowFieldDef"].n);
    EXPECT_EQ(objInfo.getColFieldName(), lay["ColFieldName"].n);
    EXPECT_EQ(objInfo.getColFieldType(), lay["ColFieldType"].n);
    EXPECT_EQ(objInfo.getColFieldSize(), lay["ColFieldSize"].n);
    EXPECT_EQ(objInfo.getColPrimaryKey(), lay["ColPrimaryKey"].n);
    EXPECT_EQ(objInfo.getColNULL(), lay["ColNULL"].n);

    clsExcelDBDoc objDoc;
    objDoc.sbSetDocInfo(objInfo);
    if (expected.has("error")) {
        try {
            objDoc.fnReadDBDoc(kData + s.workbook);
            FAIL() << "the reading should fail";
        } catch (const clsExcelReadError& e) {
            EXPECT_EQ(e.getSheetNo(), expected["error"]["sheet"].n);
            EXPECT_EQ(e.getRow(), expected["error"]["row"].n);
            EXPECT_EQ(e.getCol(), expected["error"]["col"].n);
        }
        return;
    }
    ASSERT_TRUE(objDoc.fnReadDBDoc(kData + s.workbook)) << objDoc.getLastError();

    const auto& tables = objDoc.getDBInfo()->getTables();
    const auto& want = expected["tables"].a;
    ASSERT_EQ(tables.size(), want.size());
    for (size_t t = 0; t < want.size(); ++t) {
        SCOPED_TRACE("table " + want[t]["name"].s);
        EXPECT_EQ(tables[t]->getName(), want[t]["name"].s);
        const auto& fields = tables[t]->getFields();
        const auto& wantFields = want[t]["fields"].a;
        ASSERT_EQ(fields.size(), wantFields.size());
        for (size_t f = 0; f < wantFields.size(); ++f) {
            EXPECT_EQ(fields[f]->getName(), wantFields[f]["name"].s);
            EXPECT_EQ(fields[f]->getAttr(), wantFields[f]["attr"].s) << wantFields[f]["name"].s;
            EXPECT_EQ(fields[f]->getSize(), wantFields[f]["size"].s) << wantFields[f]["name"].s;
            EXPECT_EQ(fields[f]->getNull(), wantFields[f]["null"].b) << wantFields[f]["name"].s;
        }
        std::vector<std::string> wantKeys;
        for (const auto& k : want[t]["primaryKeys"].a) wantKeys.push_back(k.s);
        EXPECT_EQ(tables[t]->getPrimaryKeys(), wantKeys);
    }
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
