#include "biff_text.h"

#include <memory>
#include <string>
#include <string_view>

#include "code_page.h"

#include "utf_codec.h"

namespace xls::biff {
namespace {

// The code page a workbook names, as the system knows it (Windows numbers; 1252 for the rest).
int systemCodePage(int codePage) {
    switch (codePage) {
        case 32768: return 10000;  // Macintosh Roman
        case 32769: return 1252;
        default: break;
    }
    if (codePage > 0 && codePage <= 10000) return codePage;
    return 1252;
}

// One converter per code page in use; opening one is far too slow to do per string.
struct Converter {
    int codePage = -1;
    std::unique_ptr<platform::CodePageConverter> cv;
    platform::CodePageConverter* get(int cp) {
        if (cp == codePage) return cv.get();
        codePage = cp;
        cv = std::make_unique<platform::CodePageConverter>(platform::kUtf8, systemCodePage(cp));
        if (!cv->ok()) cv = std::make_unique<platform::CodePageConverter>(platform::kUtf8, 1252);
        if (!cv->ok()) cv.reset();
        return cv.get();
    }
};

}  // namespace

void appendUtf16le(std::string& out, const std::uint8_t* data, std::size_t units) {
    std::u16string text(units, u'\0');
    for (std::size_t i = 0; i < units; ++i) text[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    base::appendUtf16AsUtf8(out, text);
}

void appendLatin1(std::string& out, const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) base::appendUtf8(out, data[i]);
}

std::string decodeCodePage(const std::uint8_t* data, std::size_t count, int codePage) {
    std::string out;
    if (count == 0) return out;
    bool ascii = true;
    for (std::size_t i = 0; i < count && ascii; ++i) ascii = data[i] < 0x80;
    if (ascii) return std::string(reinterpret_cast<const char*>(data), count);

    thread_local Converter conv;
    platform::CodePageConverter* cv = conv.get(codePage);
    if (!cv) {  // no converter at all: keep ASCII, mark the rest
        for (std::size_t i = 0; i < count; ++i) base::appendUtf8(out, data[i] < 0x80 ? char32_t(data[i]) : base::kReplacementChar);
        return out;
    }
    std::string_view in(reinterpret_cast<const char*>(data), count);
    std::size_t stop = 0;
    while (!cv->run(in, out, stop)) {
        // A byte that is no character (or a lead byte at the very end): mark it, go on after it.
        base::appendUtf8(out, base::kReplacementChar);
        in.remove_prefix(stop + 1);
    }
    return out;
}

}  // namespace xls::biff
