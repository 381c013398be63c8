#include "biff_text.h"

#include <iconv.h>

#include <cerrno>
#include <string>

#include "utf_codec.h"

namespace xls::biff {
namespace {

std::string iconvName(int codePage) {
    switch (codePage) {
        case 367: return "ASCII";
        case 932: return "CP932";
        case 936: return "CP936";
        case 949: return "CP949";
        case 950: return "CP950";
        case 10000:
        case 32768: return "MACINTOSH";
        case 32769: return "CP1252";
        default: break;
    }
    if (codePage > 0 && codePage < 10000) return "CP" + std::to_string(codePage);
    return "CP1252";
}

// One converter per code page in use; iconv_open is far too slow to call per string.
struct Converter {
    int codePage = -1;
    iconv_t cd = iconv_t(-1);
    ~Converter() {
        if (cd != iconv_t(-1)) iconv_close(cd);
    }
    iconv_t get(int cp) {
        if (cp == codePage) return cd;
        if (cd != iconv_t(-1)) iconv_close(cd);
        codePage = cp;
        cd = iconv_open("UTF-8", iconvName(cp).c_str());
        if (cd == iconv_t(-1)) cd = iconv_open("UTF-8", "CP1252");
        return cd;
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
    iconv_t cd = conv.get(codePage);
    if (cd == iconv_t(-1)) {  // no converter at all: keep ASCII, mark the rest
        for (std::size_t i = 0; i < count; ++i) base::appendUtf8(out, data[i] < 0x80 ? char32_t(data[i]) : base::kReplacementChar);
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
    std::size_t inLeft = count;
    char buf[1024];
    while (inLeft > 0) {
        char* o = buf;
        std::size_t oLeft = sizeof buf;
        const std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf, std::size_t(o - buf));
        if (r == std::size_t(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a lead byte at the very end): skip one byte, mark it, go on.
            base::appendUtf8(out, base::kReplacementChar);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace xls::biff
