#include "FormLook.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace formlook {

namespace {
double fnScale(const QWidget* objWidget) {
    const QScreen* objScreen = objWidget ? objWidget->screen() : QGuiApplication::primaryScreen();
    if (!objScreen) return 1.0;
    const double dblDpi = objScreen->logicalDotsPerInchX();
    return dblDpi > 0 ? dblDpi / 96.0 : 1.0;
}
}  // namespace

int fnPx(int lngTwips, const QWidget* objWidget) {
    return static_cast<int>(std::lround(lngTwips / 15.0 * fnScale(objWidget)));
}

QRect fnRect(int lngLeft, int lngTop, int lngWidth, int lngHeight, const QWidget* objWidget) {
    const int x = fnPx(lngLeft, objWidget);
    const int y = fnPx(lngTop, objWidget);
    // Right and bottom edges rounded on their own, so neighbours meet without gaps.
    return QRect(x, y, fnPx(lngLeft + lngWidth, objWidget) - x, fnPx(lngTop + lngHeight, objWidget) - y);
}

void sbSetBackground(QWidget* objWidget, const QColor& objColor) {
    QPalette objPal = objWidget->palette();
    objPal.setColor(QPalette::Window, objColor);
    objWidget->setPalette(objPal);
    objWidget->setAutoFillBackground(true);
}

void sbSetScreenFont(QWidget* objWidget) {
    QFont objFont(QStringLiteral("Noto Sans CJK JP"));
    objFont.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
                         QStringLiteral("IPAGothic"), QStringLiteral("sans-serif")});
    objFont.setPointSize(9);
    objWidget->setFont(objFont);
}

QLabel* fnLabel(QWidget* objParent, const QString& strCaption, int lngLeft, int lngTop, int lngWidth,
                int lngHeight, bool blnTop) {
    auto* objLabel = new QLabel(strCaption, objParent);
    objLabel->setGeometry(fnRect(lngLeft, lngTop, lngWidth, lngHeight, objParent));
    objLabel->setAlignment(Qt::AlignLeft | (blnTop ? Qt::AlignTop : Qt::AlignVCenter));
    objLabel->setWordWrap(true);
    return objLabel;
}

void clsFrame::paintEvent(QPaintEvent*) {
    QPainter objPainter(this);
    const QFontMetrics objMetrics = fontMetrics();
    const QString strCaption = title();
    // The border runs through the middle of the caption's line, as an etched line.
    const int lngTop = strCaption.isEmpty() ? 0 : objMetrics.height() / 2;
    qDrawShadeRect(&objPainter, QRect(0, lngTop, width(), height() - lngTop), palette(), true, 1, 0);
    if (strCaption.isEmpty()) return;
    // The caption interrupts the border on its own background, a little in from the left.
    const int lngPad = fnPx(30, this);
    const QRect objCaption(fnPx(120, this), 0, objMetrics.horizontalAdvance(strCaption) + 2 * lngPad,
                           objMetrics.height());
    objPainter.fillRect(objCaption, palette().brush(QPalette::Window));
    style()->drawItemText(&objPainter, objCaption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                          strCaption, QPalette::WindowText);
}

}  // namespace formlook
