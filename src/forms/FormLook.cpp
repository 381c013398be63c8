#include "FormLook.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <algorithm>
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

void sbPlaceWindow(QWidget* objWindow, const QWidget* objPrevious, bool blnBeside) {
    if (!objWindow) return;
    objWindow->ensurePolished();
    if (objWindow->layout()) objWindow->layout()->activate();
    const QSize objSize = objWindow->size().expandedTo(objWindow->sizeHint());
    // The window manager's frame: as around the previous window when it has one, else none.
    QMargins objFrame;
    if (objPrevious && objPrevious->isVisible()) {
        const QRect objOuter = objPrevious->frameGeometry();
        const QRect objInner = objPrevious->geometry();
        objFrame = QMargins(objInner.left() - objOuter.left(), objInner.top() - objOuter.top(),
                            objOuter.right() - objInner.right(), objOuter.bottom() - objInner.bottom());
    }
    const QSize objOuterSize = objSize.grownBy(objFrame);

    const QScreen* objScreen = nullptr;
    QPoint objAt;
    if (objPrevious) {
        const QRect objPrev = objPrevious->frameGeometry();
        objScreen = objPrevious->screen();
        objAt = objPrev.topLeft();
        if (blnBeside && objScreen) {
            const QRect objArea = objScreen->availableGeometry();
            const int lngGap = fnPx(120, objPrevious);
            // Right of it; left of it when only that fits; else as far right as the screen lets
            // it stand, covering as little of the other as it can.
            if (objPrev.left() - lngGap - objOuterSize.width() >= objArea.left() &&
                objPrev.right() + 1 + lngGap + objOuterSize.width() > objArea.right() + 1)
                objAt.setX(objPrev.left() - lngGap - objOuterSize.width());
            else
                objAt.setX(objPrev.right() + 1 + lngGap);
        }
    }
    if (!objScreen) objScreen = QGuiApplication::primaryScreen();
    if (!objScreen) return;
    const QRect objArea = objScreen->availableGeometry();
    if (!objPrevious) {
        objAt = QPoint(objArea.left() + (objArea.width() - objOuterSize.width()) / 2,
                       objArea.top() + (objArea.height() - objOuterSize.height()) / 2);
    }
    objAt.setX(std::max(objArea.left(), std::min(objAt.x(), objArea.right() + 1 - objOuterSize.width())));
    objAt.setY(std::max(objArea.top(), std::min(objAt.y(), objArea.bottom() + 1 - objOuterSize.height())));
    objWindow->move(objAt);
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
