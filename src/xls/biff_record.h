// The record stream of a BIFF workbook (the "Workbook" or "Book" stream of an .xls): records one
// after another, each a 4-byte header (type, size) and its data, a long record running on into
// the CONTINUE records after it. RecordCursor steps through the headers;
// RecordReader reads one record's fields across its continuations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xls::biff {

// Record types (the first field of every record header).
namespace rec {
constexpr std::uint16_t kBof = 0x0809;         // BOF: a substream begins (BIFF5 and BIFF8)
constexpr std::uint16_t kBofBiff2 = 0x0009;    // BOF of Excel 2.x
constexpr std::uint16_t kBofBiff3 = 0x0209;    // BOF of Excel 3.0
constexpr std::uint16_t kBofBiff4 = 0x0409;    // BOF of Excel 4.0
constexpr std::uint16_t kEof = 0x000A;         // EOF: the substream ends
constexpr std::uint16_t kContinue = 0x003C;    // CONTINUE: more data of the record before it
constexpr std::uint16_t kFilePass = 0x002F;    // FILEPASS: the rest of the stream is encrypted
constexpr std::uint16_t kCodePage = 0x0042;    // CODEPAGE: code page of BIFF5 byte strings
constexpr std::uint16_t kDateMode = 0x0022;    // DATEMODE: 1904 date system when 1
constexpr std::uint16_t kFormat = 0x041E;      // FORMAT: a number format code and its index
constexpr std::uint16_t kXf = 0x00E0;          // XF: a cell format, naming its number format
constexpr std::uint16_t kBoundSheet = 0x0085;  // BOUNDSHEET: a sheet's name, kind and stream position
constexpr std::uint16_t kSst = 0x00FC;         // SST: the shared string table
constexpr std::uint16_t kLabel = 0x0204;       // LABEL: a cell holding its own string
constexpr std::uint16_t kLabelSst = 0x00FD;    // LABELSST: a cell holding a shared string
constexpr std::uint16_t kRString = 0x00D6;     // RSTRING: a cell holding rich text (BIFF5)
constexpr std::uint16_t kNumber = 0x0203;      // NUMBER: a cell holding a double
constexpr std::uint16_t kRk = 0x027E;          // RK: a cell holding a compressed number
constexpr std::uint16_t kMulRk = 0x00BD;       // MULRK: a run of RK cells in one row
constexpr std::uint16_t kBoolErr = 0x0205;     // BOOLERR: a cell holding a boolean or an error
constexpr std::uint16_t kFormula = 0x0006;     // FORMULA: a formula cell with its cached result
constexpr std::uint16_t kString = 0x0207;      // STRING: the text result of the FORMULA before it
}  // namespace rec

// A record header: type, then the size of the data that follows.
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kHeaderTypeOffset = 0;
constexpr std::size_t kHeaderSizeOffset = 2;

// BOF data: the BIFF version, then the kind of substream it opens.
constexpr std::size_t kBofVersionOffset = 0;
constexpr std::size_t kBofKindOffset = 2;
constexpr std::size_t kBofMinSize = 4;
constexpr std::uint16_t kVersionBiff8 = 0x0600;
constexpr std::uint16_t kVersionBiff5 = 0x0500;
constexpr std::uint16_t kBofGlobals = 0x0005;    // workbook globals
constexpr std::uint16_t kBofWorksheet = 0x0010;  // worksheet (or dialog sheet)

// Flags byte of a BIFF8 string.
constexpr std::uint8_t kStrHighByte = 0x01;  // two bytes per character, else one
constexpr std::uint8_t kStrPhonetic = 0x04;  // a phonetic block (its size) follows the count
constexpr std::uint8_t kStrRich = 0x08;      // formatting runs (their count) follow the count
constexpr std::size_t kFormatRunSize = 4;    // one formatting run after the characters

bool isBof(std::uint16_t type);

// Throws Error(Damaged) with the detail.
[[noreturn]] void corrupt(const std::string& what);

struct Record {
    std::uint16_t type = 0;
    std::size_t offset = 0;  // of the record's data in the stream
    std::size_t size = 0;
};

// How the workbook stores text: BIFF8 Unicode strings, or BIFF5 byte strings in a code page.
struct TextForm {
    bool biff8 = true;
    int codePage = 1252;  // CODEPAGE record; BIFF5 only
};

// Reads record headers one after another. A record reaching past the stream's end is corruption.
class RecordCursor {
public:
    RecordCursor(const std::vector<std::uint8_t>& stream, std::size_t pos) : s_(stream), pos_(pos) {}
    // The next record's header into r; false at the stream's end.
    bool next(Record& r);
    // If CONTINUE records follow, consumes them and returns their data, in order.
    std::vector<Record> continues();
    // Where the next record begins.
    std::size_t pos() const { return pos_; }

private:
    const std::vector<std::uint8_t>& s_;
    std::size_t pos_;
};

// Reads the fields of a record and its CONTINUE records. Plain fields run on over record
// boundaries; BIFF8 character arrays re-state their one-byte/two-byte flag at the start of each
// continuation. Reading past the last record is corruption.
class RecordReader {
public:
    RecordReader(const std::vector<std::uint8_t>& stream, const Record& first,
                 const std::vector<Record>& more = {});

    bool atEnd();
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    void skip(std::size_t n);
    // BIFF8 characters: cch of them, one or two bytes each as highByte says, appended as UTF-8.
    void chars8(std::string& out, std::size_t cch, bool highByte);
    // n plain bytes (BIFF5 byte strings), gathered across records.
    std::vector<std::uint8_t> bytes(std::size_t n);

    // A string with a 16-bit character count: BIFF8 count, flags (rich-text and phonetic sizes
    // skipped), characters; BIFF5 count and bytes in the code page.
    std::string string16(const TextForm& form);
    // A string with an 8-bit character count: BIFF8 count, flags, characters; BIFF5 count, bytes.
    std::string string8(const TextForm& form);

private:
    const std::vector<std::uint8_t>& s_;
    std::vector<Record> segs_;
    std::size_t seg_ = 0;
    std::size_t pos_ = 0;
};

}  // namespace xls::biff
