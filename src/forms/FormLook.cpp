#include "FormLook.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
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

}  // namespace formlook
