#include "clsTextBox.h"

#include <QFocusEvent>
#include <QValidator>

// Checks typed and pasted text. A change that makes the text longer than the limit, or that
// brings in a character beyond half-width ASCII into a direct-input box, is refused. Texts set
// by the program never pass through here.
class clsTypedInputValidator : public QValidator {
public:
    explicit clsTypedInputValidator(clsTextBox* objBox) : QValidator(objBox), moBox(objBox) {}

    State validate(QString& strInput, int&) const override {
        const QString& strBefore = moBox->mostrLastText;
        if (moBox->molngMaxTyped > 0 && strInput.size() > moBox->molngMaxTyped &&
            strInput.size() > strBefore.size())
            return Invalid;
        if (moBox->moblnHalfWidth) {
            for (const QChar ch : strInput) {
                if ((ch.unicode() < 0x20 || ch.unicode() > 0x7e) && !strBefore.contains(ch)) return Invalid;
            }
        }
        return Acceptable;
    }

private:
    clsTextBox* moBox;
};

clsTextBox::clsTextBox(QWidget* objParent) : QLineEdit(objParent) {
    setValidator(new clsTypedInputValidator(this));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& strText) {
        mostrLastText = strText;
        // A text the program puts in while the user is elsewhere shows from its start: a narrow box would
        // otherwise show only the end of a long value ("648" of -2147483648).
        if (!isModified() && !hasFocus()) setCursorPosition(0);
    });
}

void clsTextBox::setMaxTyped(int lngMax) { molngMaxTyped = lngMax; }

void clsTextBox::setHalfWidthOnly(bool blnOn) {
    moblnHalfWidth = blnOn;
    setAttribute(Qt::WA_InputMethodEnabled, !blnOn);
    setInputMethodHints(blnOn ? (Qt::ImhPreferLatin | Qt::ImhNoPredictiveText) : Qt::ImhNone);
}

void clsTextBox::sbSelectAll() { setSelection(0, text().size()); }

void clsTextBox::focusInEvent(QFocusEvent* objEvent) {
    QLineEdit::focusInEvent(objEvent);
    // A click places the caret where the user clicked. The focus coming back from a menu (the
    // box's own context menu or the menu bar) keeps the selection the user made, so that the
    // menu's command acts on it; any other way in selects the whole text.
    switch (objEvent->reason()) {
    case Qt::MouseFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        break;
    default:
        sbSelectAll();
        break;
    }
}
