// The system tables of a new Jet 4 database; see jet4_system_objects.h.
#include "jet4_system_objects.h"

#include "catalog.h"
#include "tdef.h"

namespace jet {

namespace {

// Index flags of the system tables: every index Jet 4 writes carries kIdxAlwaysSet.
constexpr uint8_t kUniqueIndex = kIdxAlwaysSet | kIdxUnique;
constexpr uint8_t kRequiredIndex = kIdxAlwaysSet | kIdxRequired;
constexpr uint8_t kIgnoreNullsIndex = kIdxAlwaysSet | kIdxIgnoreNulls;
constexpr uint8_t kPrimaryKey = tdef::kIndexTypePrimaryKey;

}  // namespace

const std::vector<Jet4TableSpec>& jet4SystemTables() {
    static const std::vector<Jet4TableSpec> tables = {
        {"MSysObjects", kMSysObjectsPage,
         {{"Connect", colMemo, 9, false},
          {"Database", colMemo, 8, false},
          {"DateCreate", colDateTime, 4, false},
          {"DateUpdate", colDateTime, 5, false},
          {"Flags", colLong, 7, false},
          {"ForeignName", colText, 10, false},
          {"Id", colLong, 0, false},
          {"Lv", colOle, 13, false},
          {"LvExtra", colOle, 16, false},
          {"LvModule", colOle, 15, false},
          {"LvProp", colOle, 14, false},
          {"Name", colText, 2, false},
          {"Owner", colBinary, 6, true},
          {"ParentId", colLong, 1, false},
          {"RmtInfoLong", colOle, 12, false},
          {"RmtInfoShort", colBinary, 11, false},
          {"Type", colInteger, 3, false}},
         {{{1, 2}, kUniqueIndex}, {{0}, kUniqueIndex}},
         {{"Id", 1, 1, kPrimaryKey}, {"ParentIdName", 0, 0, 0}}},
        {"MSysACEs", kMSysAcesPage,
         {{"ACM", colLong, 2, false},
          {"FInheritable", colBoolean, 3, false},
          {"ObjectId", colLong, 0, false},
          {"SID", colBinary, 1, true}},
         {{{0}, kRequiredIndex}},
         {{"ObjectId", 0, 0, 0}}},
        {"MSysQueries", kMSysQueriesPage,
         {{"Attribute", colByte, 1, false},
          {"Expression", colMemo, 5, false},
          {"Flag", colInteger, 6, false},
          {"LvExtra", colLong, 7, false},
          {"Name1", colText, 3, false},
          {"Name2", colText, 4, false},
          {"ObjectId", colLong, 0, false},
          {"Order", colBinary, 2, false}},
         {{{0, 1, 2}, kUniqueIndex}},
         {{"ObjectIdAttribute", 0, 0, kPrimaryKey}}},
        {"MSysRelationships", kMSysRelationshipsPage,
         {{"ccolumn", colLong, 2, false},
          {"grbit", colLong, 1, false},
          {"icolumn", colLong, 3, false},
          {"szColumn", colText, 5, false},
          {"szObject", colText, 4, false},
          {"szReferencedColumn", colText, 7, false},
          {"szReferencedObject", colText, 6, false},
          {"szRelationship", colText, 0, false}},
         {{{0}, kIgnoreNullsIndex}, {{4}, kIgnoreNullsIndex}, {{6}, kIgnoreNullsIndex}},
         {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}}},
    };
    return tables;
}

namespace {

// The security identifiers of an unsecured Jet database (2-byte SIDs of its built-in accounts):
// the owner of the system objects, and the three SIDs the permission rows are granted to.
const Bytes kSystemOwner = {0x65, 0x89};
const Bytes kSidA = {0x64, 0x8B};  // also the owner of MSysDb
const Bytes kSidB = {0x65, 0x8B};
const Bytes kSidC = {0x65, 0x8E};

// MSysDb, the object of the database itself, in the Databases container.
constexpr uint32_t kMSysDbId = 0x10000000;

}  // namespace

const std::vector<Jet4ObjectSpec>& jet4SystemObjects() {
    static const std::vector<Jet4ObjectSpec> objects = {
        {kTablesContainerId, kContainersParentId, kObjectTypeContainer, "Tables", &kSystemOwner},
        {kDatabasesContainerId, kContainersParentId, kObjectTypeContainer, "Databases", &kSystemOwner},
        {kRelationshipsContainerId, kContainersParentId, kObjectTypeContainer, "Relationships", &kSystemOwner},
        {kMSysDbId, kDatabasesContainerId, kObjectTypeDatabase, "MSysDb", &kSidA},
        {kMSysObjectsPage, kTablesContainerId, kObjectTypeTable, "MSysObjects", &kSystemOwner},
        {kMSysAcesPage, kTablesContainerId, kObjectTypeTable, "MSysACEs", &kSystemOwner},
        {kMSysQueriesPage, kTablesContainerId, kObjectTypeTable, "MSysQueries", &kSystemOwner},
        {kMSysRelationshipsPage, kTablesContainerId, kObjectTypeTable, "MSysRelationships", &kSystemOwner},
    };
    return objects;
}

// The rights masks, as Jet writes them: the high bits are the rights on the permissions
// themselves (0x20000 read them, 0x40000 change them, 0x80000 change the owner, 0x10000 delete
// the object), the low ones those on the object's data and design (0x14 read the data,
// 0xE open the database, ...). kFullAccessRights is everything on the tables of a container;
// 0xFFFFF everything at all.
const std::vector<Jet4PermissionSpec>& jet4SystemPermissions() {
    constexpr uint32_t tables = kTablesContainerId, relationships = kRelationshipsContainerId;
    static const std::vector<Jet4PermissionSpec> entries = {
        {kMSysObjectsPage, &kSidA, 0x60000, false},
        {kMSysAcesPage, &kSidA, 0x60000, false},
        {kMSysQueriesPage, &kSidA, 0x60000, false},
        {kMSysRelationshipsPage, &kSidA, 0xE0000, false},
        {tables, &kSidC, 0xF00FE, true},
        {tables, &kSidA, 0x60001, false},
        {relationships, &kSidC, 0xF00FE, true},
        {relationships, &kSidA, 0x60001, false},
        {kDatabasesContainerId, &kSidA, 0x60000, false},
        {kMSysDbId, &kSidA, 0x6000E, false},
        {kMSysDbId, &kSidB, 0xE, false},
        {kMSysQueriesPage, &kSidB, 0x14, false},
        {kMSysRelationshipsPage, &kSidB, 0x14, false},
        {kMSysObjectsPage, &kSidB, 0x14, false},
        {tables, &kSidB, kFullAccessRights, true},
        {relationships, &kSidB, 0xFFFFF, true},
    };
    return entries;
}

}  // namespace jet
