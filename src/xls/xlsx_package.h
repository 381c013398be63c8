// The zip package around a workbook's XML parts: the package opened, its parts read whole or
// streamed, their relationships; the names of parts and of their relationship parts,
// relationship targets resolved to part names, and why libzip refused, in Japanese.
#pragma once

#include <zip.h>

#include <functional>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>

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

class XmlPull;

// The first child element of that local name (namespace prefix ignored), or a null node.
pugi::xml_node childElement(pugi::xml_node node, const char* local);

struct Relationship {
    std::string type;    // last segment of the relationship type, e.g. "worksheet"
    std::string target;  // resolved part name
};

// An opened package. Every Error it throws names the file.
class Package {
public:
    // Opens the zip file at path. Throws Error: Truncated when its central directory is missing,
    // Damaged when that is inconsistent or unreadable, CannotOpen otherwise.
    explicit Package(const std::string& path);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    const std::string& path() const { return path_; }
    bool hasPart(const std::string& name) const;

    // A small part (workbook, relationships, styles: at most 64 MiB) read whole into out; false
    // when the package has no such part. A part that cannot be read is damage.
    bool readSmallPart(const std::string& name, std::string& out) const;
    // A small part parsed; a missing part or malformed XML is damage.
    void parseSmallPart(const std::string& name, pugi::xml_document& doc) const;
    // The relationships of a part ("" for the package's own), by id; external targets left out.
    std::unordered_map<std::string, Relationship> relationships(const std::string& part) const;
    // Runs fn over a part read in chunks, closing it on every path; an Error that names no file
    // gets the part's name in its detail, and the file.
    void streamPart(const std::string& part, const std::function<void(XmlPull&)>& fn) const;

    // Throws Error(Damaged) with the detail, naming the file.
    [[noreturn]] void corrupt(const std::string& what) const;

private:
    std::string path_;
    zip_t* zip_ = nullptr;
};

}  // namespace xlsx
}  // namespace xls
