// The text box of the screens: selects its whole text when it gets the focus by the keyboard or
// from the program, and can limit what the user types (length, half-width characters only)
// without ever cutting a text the program puts in it.
#pragma once

#include <QLineEdit>

class clsTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit clsTextBox(QWidget* objParent = nullptr);

    // At most lngMax characters by typing or pasting (0: no limit).
    void setMaxTyped(int lngMax);
    int getMaxTyped() const { return molngMaxTyped; }

    // Direct input only: the input method is off and only half-width (ASCII) characters are taken.
    void setHalfWidthOnly(bool blnOn);
    bool getHalfWidthOnly() const { return moblnHalfWidth; }

    // Selects the whole text (start 0, length of the text).
    void sbSelectAll();

protected:
    void focusInEvent(QFocusEvent* objEvent) override;

private:
    int molngMaxTyped = 0;
    bool moblnHalfWidth = false;
    QString mostrLastText;  // text before the edit being checked
    friend class clsTypedInputValidator;
};
