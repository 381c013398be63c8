// A .xlsx file is read sheet by sheet and cell by cell. It must read or be refused with
// xls::Error; anything else (a crash, another exception, a sanitizer finding) stops the run.
#include <cstddef>
#include <cstdint>

#include "workbook_walk.h"
#include "fuzz_support.h"
#include "workbook.h"
#include "xlsx_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratchDir() + "/input.xlsx";
    fuzz::writeFile(path, data, size);
    try {
        auto book = xls::openXlsxWorkbook(path, xls::OpenOptions{});
        fuzz::readEveryCell(*book);
    } catch (const xls::Error&) {
    }
    return 0;
}
