#include <gtest/gtest.h>

#include "clsDBInfo.h"

namespace {

TableInfoPtr makeTable(const std::string& name) {
    auto t = std::make_shared<clsTableInfo>();
    t->setName(name);
    return t;
}

}  // namespace

TEST(DBInfoLookup, EmptyModelFindsNothing) {
    clsDBInfo db;
    EXPECT_EQ(db.getTable("A"), nullptr);
    EXPECT_EQ(db.getTable(""), nullptr);
}

TEST(DBInfoLookup, ExactCaseSensitiveUntrimmedFirstMatch) {
    clsDBInfo db;
    auto first = makeTable("Order");
    auto second = makeTable("Order");
    auto spaced = makeTable(" Item");
    auto fullWidthSpaced = makeTable("Item\u3000");
    db.setTable(first);
    db.setTable(second);
    db.setTable(spaced);
    db.setTable(fullWidthSpaced);

    ASSERT_EQ(db.getTables().size(), 4u);
    EXPECT_EQ(db.getTable("Order"), first);  // duplicates kept, the first wins
    EXPECT_EQ(db.getTables()[1], second);
    EXPECT_EQ(db.getTable("order"), nullptr);
    EXPECT_EQ(db.getTable("Item"), nullptr);
    EXPECT_EQ(db.getTable(" Item"), spaced);
    EXPECT_EQ(db.getTable("Item\u3000"), fullWidthSpaced);
    EXPECT_EQ(db.getTable("Orde"), nullptr);
    EXPECT_EQ(db.getTable("Order "), nullptr);
}

TEST(DBInfoLookup, SharesObjectsRatherThanCopying) {
    clsDBInfo db;
    auto t = makeTable("T");
    db.setTable(t);
    t->setName("Renamed");  // a change made by any holder is seen by all
    EXPECT_EQ(db.getTable("Renamed"), t);
    EXPECT_EQ(db.getTable("T"), nullptr);
}

TEST(TableInfo, FieldsAndKeysKeepOrderAndDuplicates) {
    clsTableInfo t;
    EXPECT_TRUE(t.getFields().empty());
    EXPECT_TRUE(t.getPrimaryKeys().empty());

    for (const char* name : {"ID", "NAME", "ID"}) {
        auto f = std::make_shared<clsFieldInfo>();
        f->setName(name);
        t.setField(f);
    }
    t.sbAddPKey("ID");
    t.sbAddPKey("NOT_A_FIELD");
    t.sbAddPKey("ID");

    ASSERT_EQ(t.getFields().size(), 3u);
    EXPECT_EQ(t.getFields()[1]->getName(), "NAME");
    EXPECT_EQ(t.getPrimaryKeys(), (std::vector<std::string>{"ID", "NOT_A_FIELD", "ID"}));
}

TEST(FieldInfo, KeepsTextAsGivenAndDefaultsToNotNull) {
    clsFieldInfo f;
    EXPECT_FALSE(f.getNull());
    EXPECT_EQ(f.getSize(), "");
    f.setName(" 名前 ");
    f.setAttr("テキスト");
    f.setSize("abc");
    f.setNull(true);
    EXPECT_EQ(f.getName(), " 名前 ");
    EXPECT_EQ(f.getAttr(), "テキスト");
    EXPECT_EQ(f.getSize(), "abc");
    EXPECT_TRUE(f.getNull());
}
