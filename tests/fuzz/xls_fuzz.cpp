// A .xls file is read sheet by sheet and cell by cell; input that does not start like a compound
// file is read as a bare workbook stream. It must read or be refused with xls::Error; anything
// else (a crash, another exception, a sanitizer finding) stops the run.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "biff_workbook.h"
#include "workbook_walk.h"
#include "workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kCompoundFile[4] = {0xD0, 0xCF, 0x11, 0xE0};
    const bool whole = size >= 4 && std::memcmp(data, kCompoundFile, 4) == 0;
    std::vector<std::uint8_t> bytes(data, data + size);
    try {
        auto book = whole ? xls::openBiffWorkbookBytes(std::move(bytes)) : xls::openBiffStream(std::move(bytes));
        fuzz::readEveryCell(*book);
    } catch (const xls::Error&) {
    }
    return 0;
}
