#include "code_page.h"

#include <iconv.h>

#include <cerrno>

namespace platform {

namespace {
std::string iconvName(int codePage) {
    switch (codePage) {
        case kUtf8: return "UTF-8";
        case 367: return "ASCII";
        case 10000: return "MACINTOSH";
        default: break;
    }
    return "CP" + std::to_string(codePage);
}
}  // namespace

struct CodePageConverter::State {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
};

CodePageConverter::CodePageConverter(int toCodePage, int fromCodePage) : state_(new State) {
    state_->cd = iconv_open(iconvName(toCodePage).c_str(), iconvName(fromCodePage).c_str());
}

CodePageConverter::~CodePageConverter() {
    if (ok()) iconv_close(state_->cd);
}

bool CodePageConverter::ok() const { return state_->cd != reinterpret_cast<iconv_t>(-1); }

bool CodePageConverter::run(std::string_view in, std::string& out, std::size_t& stop) {
    if (!ok()) {
        stop = 0;
        return in.empty();
    }
    iconv_t cd = state_->cd;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* pIn = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char buf[4096];
    while (inLeft > 0) {
        char* pOut = buf;
        std::size_t outLeft = sizeof buf;
        const std::size_t r = iconv(cd, &pIn, &inLeft, &pOut, &outLeft);
        out.append(buf, static_cast<std::size_t>(pOut - buf));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            stop = static_cast<std::size_t>(pIn - in.data());
            return false;
        }
    }
    char* pOut = buf;
    std::size_t outLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &pOut, &outLeft);
    out.append(buf, static_cast<std::size_t>(pOut - buf));
    return true;
}

}  // namespace platform
