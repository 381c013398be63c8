// Sizes, colours and fonts shared by the screens. Positions are kept in twips as the screens
// are drawn (15 twips = 1 pixel at 96 dpi) and turned into pixels for the screen in use.
#pragma once

#include <QColor>
#include <QGroupBox>
#include <QRect>

class QWidget;
class QLabel;

namespace formlook {

// Pixels for a length in twips on the screen that shows objWidget (nullptr: the primary screen).
int fnPx(int lngTwips, const QWidget* objWidget = nullptr);
QRect fnRect(int lngLeft, int lngTop, int lngWidth, int lngHeight, const QWidget* objWidget = nullptr);

// Screen backgrounds.
inline QColor fnLightCyan() { return QColor(192, 255, 255); }
inline QColor fnStrongCyan() { return QColor(128, 255, 255); }

// Fills objWidget's background with the colour (children without their own colour show it too).
void sbSetBackground(QWidget* objWidget, const QColor& objColor);

// The screens' font: a Japanese sans-serif at 9 points.
void sbSetScreenFont(QWidget* objWidget);

// A label at a twips position. blnTop: text at the top of the label (for labels set a little
// lower than their box); otherwise centred vertically.
QLabel* fnLabel(QWidget* objParent, const QString& strCaption, int lngLeft, int lngTop, int lngWidth,
                int lngHeight, bool blnTop = false);

// Places objWindow, a window about to be shown: with objPrevious, its frame's top-left where
// objPrevious's stands (blnBeside: next to objPrevious, right or left of it, where it fits);
// without one, centred on the primary screen. Either way moved as far as needed to lie wholly
// inside the available area of its screen.
void sbPlaceWindow(QWidget* objWindow, const QWidget* objPrevious = nullptr, bool blnBeside = false);

// A framed group of controls with its caption standing on the top border, near the left, as
// the classic frame draws it (whatever the style would draw). The contents are placed by the
// caller; the frame does not move them.
class clsFrame : public QGroupBox {
public:
    explicit clsFrame(const QString& strCaption, QWidget* objParent = nullptr) : QGroupBox(strCaption, objParent) {}

protected:
    void paintEvent(QPaintEvent* objEvent) override;
};

}  // namespace formlook
