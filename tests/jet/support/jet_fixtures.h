// Helpers shared by the engine's own tests: sample lists, byte comparison of files, and a table
// definition using every supported type and flag.
#pragma once

#include <string>
#include <vector>

#include "dao.h"
#include "oracles.h"

namespace jet::testsupport {

inline std::vector<std::string> sampleNames() {
    return {"access2000_empty_jackcess_template.mdb", "compIndexTestV2000.mdb", "indexTestV2000.mdb",
            "jet_created_adox_jet4.mdb", "jp_sample_thinkami.mdb", "kenjinote_sample.mdb",
            "testIndexPropertiesV2000.mdb", "testUnicodeCompV2003.mdb", "grown_by_other_writer.mdb"};
}

inline std::string samplePath(const std::string& name) { return testDataDir() + "/mdb/" + name; }

// A fresh copy of a sample in the scratch folder.
inline std::string freshCopy(const std::string& sample, const std::string& tag) {
    return copyToScratch(samplePath(sample), tag + "_" + sample);
}

struct FieldShape {
    std::string name;
    int type;
    int size;
    bool autoIncrement;
    bool required;
};

// Every type the builder creates, required and not, plus auto-increment.
inline std::vector<FieldShape> everyTypeFields() {
    return {
        {"ID", dbLong, 0, true, true},        {"CODE", dbText, 10, false, true},
        {"NAME", dbText, 255, false, false},  {"ONECHAR", dbText, 1, false, false},
        {"CREATED", dbDate, 0, false, true},  {"QTY", dbInteger, 0, false, false},
        {"TOTAL", dbLong, 0, false, true},    {"RATIO", dbSingle, 0, false, false},
        {"AMOUNT", dbDouble, 0, false, true}, {"PRICE", dbCurrency, 0, false, false},
    };
}

inline TableDefPtr makeTable(Database& db, const std::string& name, const std::vector<FieldShape>& fields,
                             const std::vector<std::string>& primaryKey) {
    TableDefPtr t = db.CreateTableDef(name);
    for (auto& f : fields) {
        t->Fields().Append(t->CreateField(f.name, f.type, f.size));
        if (f.autoIncrement) t->Fields().item(f.name)->setAttributes(dbAutoIncrField);
        t->Fields().item(f.name)->setRequired(f.required);
    }
    if (!primaryKey.empty()) {
        IndexPtr ix = t->CreateIndex("Primary");
        for (auto& k : primaryKey) ix->Fields().Append(ix->CreateField(k));
        ix->setPrimary(true);
        t->Indexes().Append(ix);
    }
    return t;
}

}  // namespace jet::testsupport
