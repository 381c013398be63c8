#include "biff_workbook.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "biff_globals.h"
#include "biff_record.h"
#include "biff_sheet.h"
#include "cfb.h"
#include "file_names.h"

namespace xls {
namespace {

// A workbook over its BIFF stream: the globals read when it is opened, and the cells of one
// sheet at a time, read when a cell of that sheet is asked for.
class BiffWorkbook : public Workbook {
public:
    // path (the file's, or empty) is named by errors found while reading a sheet.
    BiffWorkbook(std::vector<std::uint8_t> stream, const OpenOptions& options, int hintVersion,
                 std::string path)
        : s_(std::move(stream)), options_(options), path_(std::move(path)) {
        g_ = biff::readGlobals(s_, hintVersion);
        checkSheets();
    }

    int sheetCount() const override { return int(g_.sheets.size()); }

    std::string sheetName(int sheet) const override {
        if (sheet < 0 || sheet >= sheetCount()) return {};
        return g_.sheets[sheet].name;
    }

    Cell cell(int sheet, int row, int col) override {
        if (sheet < 0 || sheet >= sheetCount()) return {};
        if (row < 1 || col < 1 || row > options_.maxRow || col > options_.maxCol) return {};
        if (row > biff::kMaxRows || col > biff::kMaxCols) return {};
        if (sheet != loaded_) loadSheet(sheet);
        const auto it = cells_.find(biff::cellKey(row - 1, col - 1));
        return it == cells_.end() ? Cell{} : it->second;
    }

private:
    // Every worksheet's records must lie inside the stream, from its BOF to its EOF: a damaged
    // file is refused when it is opened rather than half-way through a reading.
    // Substreams may not overlap one another or the globals, which also keeps this check (and
    // any later reading) linear in the stream's size whatever the sheet list claims.
    void checkSheets() {
        const std::vector<biff::SheetInfo>& sheets = g_.sheets;
        std::vector<std::size_t> order(sheets.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return sheets[a].offset < sheets[b].offset; });
        std::size_t end = g_.end;
        for (std::size_t i : order) {
            try {
                if (sheets[i].offset < end) biff::corrupt("シートのレコードがほかのレコードと重なっています");
                end = walk(i, nullptr);
            } catch (const Error& e) {
                throw e.inSheet(int(i), sheets[i].name);
            }
        }
    }

    void loadSheet(int sheet) {
        cells_.clear();
        loaded_ = -1;
        try {
            walk(std::size_t(sheet), &cells_);
        } catch (const Error& e) {
            cells_.clear();
            throw e.inSheet(sheet, g_.sheets[sheet].name).inFile(path_);
        }
        loaded_ = sheet;
    }

    std::size_t walk(std::size_t sheet, biff::CellMap* out) const {
        return biff::walkSheet(s_, g_, sheet, options_.maxRow, options_.maxCol, out);
    }

    std::vector<std::uint8_t> s_;
    OpenOptions options_;
    std::string path_;
    biff::Globals g_;
    int loaded_ = -1;
    biff::CellMap cells_;  // of sheet loaded_
};

}  // namespace

std::unique_ptr<Workbook> openBiffStream(std::vector<std::uint8_t> stream, const OpenOptions& options) {
    return std::make_unique<BiffWorkbook>(std::move(stream), options, 8, std::string());
}

namespace {

std::unique_ptr<Workbook> openBytes(std::vector<std::uint8_t> fileBytes, const OpenOptions& options,
                                    const std::string& path) {
    if (fileBytes.empty()) throw Error(Error::Kind::Empty);
    int version = 8;
    std::optional<std::vector<std::uint8_t>> stream;
    {
        const cfb::CompoundFile file(fileBytes.data(), fileBytes.size());
        stream = file.readRootStream("Workbook");
        if (!stream) {
            stream = file.readRootStream("Book");  // Excel 95
            version = 5;
        }
        if (!stream) {
            if (file.hasRootStream("EncryptedPackage")) throw Error(Error::Kind::Encrypted);
            throw Error(Error::Kind::NotWorkbook, "複合ファイルに Workbook／Book ストリームがありません");
        }
    }
    fileBytes = {};  // the container is no longer needed: keep only the workbook stream
    return std::make_unique<BiffWorkbook>(std::move(*stream), options, version, path);
}

}  // namespace

std::unique_ptr<Workbook> openBiffWorkbookBytes(std::vector<std::uint8_t> fileBytes,
                                                const OpenOptions& options) {
    return openBytes(std::move(fileBytes), options, std::string());
}

std::unique_ptr<Workbook> openBiffWorkbook(const std::string& path, const OpenOptions& options) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path where = platform::fsPath(path);
    const fs::file_status st = fs::status(where, ec);
    if (ec || !fs::exists(st)) throw Error(Error::Kind::NotFound).inFile(path);
    if (!fs::is_regular_file(st)) throw Error(Error::Kind::NotAFile).inFile(path);
    std::ifstream in(where, std::ios::binary);
    if (!in) throw Error(Error::Kind::CannotOpen, systemReason(errno)).inFile(path);
    std::vector<std::uint8_t> bytes;
    const std::uintmax_t size = fs::file_size(where, ec);
    if (!ec) bytes.reserve(std::size_t(size));
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) bytes.insert(bytes.end(), buf, buf + in.gcount());
    if (in.bad()) throw Error(Error::Kind::CannotOpen, systemReason(errno)).inFile(path);
    try {
        return openBytes(std::move(bytes), options, path);
    } catch (const Error& e) {
        throw e.inFile(path);
    }
}

}  // namespace xls
