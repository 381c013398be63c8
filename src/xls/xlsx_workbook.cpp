// Reader of Office Open XML workbooks (being written).
#include "xlsx_workbook.h"

namespace xls {

std::unique_ptr<Workbook> openXlsxWorkbook(const std::string& path, const OpenOptions&) {
    throw Error(path + ": Excel .xlsx workbooks cannot be read yet");
}

}  // namespace xls
