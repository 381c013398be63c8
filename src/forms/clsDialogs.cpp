#include "clsDialogs.h"

#include "clsProgress.h"
#include "clsQtDialogs.h"

const char* const kAppTitle = "xlsdb";

namespace {
std::shared_ptr<clsDialogs>& fnSlot() {
    static std::shared_ptr<clsDialogs> objDialogs;
    return objDialogs;
}
}  // namespace

clsDialogs& fnDialogs() {
    auto& objSlot = fnSlot();
    if (!objSlot) objSlot = std::make_shared<clsQtDialogs>();
    return *objSlot;
}

void sbSetDialogs(std::shared_ptr<clsDialogs> objDialogs) { fnSlot() = std::move(objDialogs); }

// A message shown during long work: its progress dialog keeps out of the way until the box is closed.
void sbWarn(QWidget* objOwner, const std::string& strText) {
    const clsProgressHold objHold;
    fnDialogs().sbMsgBox(objOwner, strText, enmMsgStyle::Exclamation);
}

void sbNotice(QWidget* objOwner, const std::string& strText) {
    const clsProgressHold objHold;
    fnDialogs().sbMsgBox(objOwner, strText, enmMsgStyle::OkOnly);
}
