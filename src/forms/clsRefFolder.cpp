#include "clsRefFolder.h"

#include "clsDialogs.h"

std::string clsRefFolder::fnShow() {
    std::string strPath = fnDialogs().fnBrowseFolder(mohWnd.data());
    // A path is cut at its first NUL; the root keeps its separator, other paths lose a trailing one.
    const auto lngNul = strPath.find('\0');
    if (lngNul != std::string::npos) strPath.resize(lngNul);
    while (strPath.size() > 1 && (strPath.back() == '/' || strPath.back() == '\\') &&
           !(strPath.size() == 3 && strPath[1] == ':'))
        strPath.pop_back();
    return strPath;
}
