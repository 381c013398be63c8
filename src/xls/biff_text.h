// Text decoding for the BIFF reader: UTF-16LE and "compressed" (one byte per character) string
// bodies of BIFF8, and code-page byte strings of BIFF5 (Excel 95), all to UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace xls::biff {

// Appends UTF-16LE code units as UTF-8. Surrogate pairs are joined; a lone surrogate becomes U+FFFD.
void appendUtf16le(std::string& out, const std::uint8_t* data, std::size_t units);

// Appends bytes that each hold the low byte of a UTF-16 code unit (BIFF8 compressed strings).
void appendLatin1(std::string& out, const std::uint8_t* data, std::size_t count);

// Decodes bytes in a Windows code page (the CODEPAGE record's value, e.g. 932 or 1252) to UTF-8.
// Bytes that do not decode become U+FFFD; an unknown code page is read as Windows-1252.
std::string decodeCodePage(const std::uint8_t* data, std::size_t count, int codePage);

}  // namespace xls::biff
