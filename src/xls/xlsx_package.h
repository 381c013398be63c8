// The zip package around a workbook's XML parts: the names of parts and of their relationship
// parts, relationship targets resolved to part names, and why libzip refused, in Japanese.
#pragma once

#include <zip.h>

#include <string>

namespace xls {
namespace xlsx {

// Resolves a relationship target against the folder of the part that holds the relationship
// (percent escapes decoded, "." and ".." applied, a leading "/" from the package root).
std::string resolveTarget(const std::string& sourceDir, const std::string& target);
// The folder of a part ("xl/workbook.xml" -> "xl/"), or "" at the root.
std::string folderOf(const std::string& part);
// The relationship part of a part ("xl/workbook.xml" -> "xl/_rels/workbook.xml.rels").
std::string relsPartOf(const std::string& part);

// Why libzip refused, from the error it left, as a Japanese phrase.
std::string zipReason(const zip_error_t* ze);

}  // namespace xlsx
}  // namespace xls
