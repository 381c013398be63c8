// How a table of the design becomes an Access table definition: which field rows are attempted,
// the type a type word stands for, each field's size, Required flag and auto-numbering, and the
// primary-key index. The builder (clsAccessDB) creates tables with these rules; the design check
// and the comparison with a database apply the very same rules without writing anything.
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <string>

#include "clsAccessFieldAttr.h"
#include "clsFieldInfo.h"
#include "clsTableInfo.h"
#include "DatabaseFailure.h"
#include "dao.h"

namespace accessrules {

// Why a field row is not attempted at all (the builder skips it without a word), or None.
enum class FieldSkip { None, NoName, NoType, NoSize };
FieldSkip fieldSkip(const clsFieldInfo& objField, const clsAccessFieldAttr& objMap);

// The type a field's type word stands for, with the size to use (TypeWords.h); none when the word
// stands for no type.
std::optional<AccessFieldType> fieldType(const clsFieldInfo& objField, const clsAccessFieldAttr& objMap);

// The engine's type code for a type (AutoNumber is a Long with auto-numbering).
int daoType(AccessFieldType enmType);

// The builder's step for one attempted field: creates it (Text with its size, from the size cell
// or from WORD(N), converted to a 16-bit integer), appends it to the definition, turns auto-numbering on for AutoNumber and
// sets Required (false when the design lets the field hold NULL, and for Yes/No, which never holds
// NULL). A Memo takes no size (a size cell beside it is not read). Returns false, doing nothing,
// when the type word matches no notation. A size that does not convert throws ConversionError,
// a refusal of the engine JetError; what was done before stays done.
bool appendField(jet::TableDef& objTableDef, const clsFieldInfo& objField, const clsAccessFieldAttr& objMap);

// The part of a field row a failure of appendField is about: the size for a size that does not
// convert or that the engine refuses (the type cell when the size was written in it, WORD(N)),
// the name for a name it refuses (invalid, repeated, one field too many), the type otherwise.
FieldPart failurePart(const std::exception& objFailure, const clsFieldInfo& objField, const clsAccessFieldAttr& objMap);

// The index "Primary" over the marked fields in design order, appended to the definition;
// nothing when no field is marked. The engine's refusal throws JetError; pnKeysAdded, when
// given, then holds how many key fields were added to the index before it (the position of the
// refused one, or all of them when the index itself was refused).
void appendPrimaryKey(jet::TableDef& objTableDef, const clsTableInfo& objTable, std::size_t* pnKeysAdded = nullptr);

// The message for a type word that matches no notation: the word as read + "は未定義です".
std::string undefinedTypeMessage(const clsFieldInfo& objField);

// What the user is told about a failure. Our own errors (the engine's, those of our text and
// number rules: base::UserError) are written for the user and pass as they are; a library's texts
// are English and are said in Japanese instead (an unexpected one keeps its text in parentheses,
// for whoever looks into it).
std::string failureText(const std::exception& e);

// The failure as the user reads it (DatabaseFailure.h).
DatabaseFailure databaseFailure(const std::exception& e);

inline constexpr const char* kPrimaryIndexName = "Primary";
inline constexpr const char* kUndefinedSuffix = "は未定義です";

}  // namespace accessrules
