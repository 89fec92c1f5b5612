#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace quillo {

// The product's own drawn symbols (SVG resources), tinted at render time.
enum class QuilloSymbol {
    appIcon,
    menuBarIcon,
    sparkles,
    checkmarkCircleFill,
    exclamationmarkTriangleFill,
    exclamationmarkCircleFill,
    xmarkCircleFill,
    boltFill,
    lockFill,
    cloudFill,
    creditcard,
    plusCircleFill,
    gearshape,
    // The settings window's.
    clock,
    infoCircle,
    wifi,
    wifiSlash,
    globe,
    testtube,
    lockShield,
    clockBadgeXmark,
    clockArrowCirclepath,
    arrowDownCircleFill,
};

namespace QuilloSymbols {

QString resourcePath(QuilloSymbol symbol);

// The symbol at `size` device-independent pixels; an invalid tint keeps the drawn colours.
QPixmap pixmap(QuilloSymbol symbol, QSize size, const QColor& tint = {}, qreal devicePixelRatio = 1.0);
QIcon icon(QuilloSymbol symbol, const QColor& tint = {});

} // namespace QuilloSymbols

// The few named colours the views share.
namespace QuilloPalette {
inline const QColor purple{0xAF, 0x52, 0xDE};
inline const QColor green{0x34, 0xC7, 0x59};
inline const QColor red{0xFF, 0x3B, 0x30};
inline const QColor orange{0xFF, 0x95, 0x00};
inline const QColor grey{0x8E, 0x8E, 0x93};
} // namespace QuilloPalette

} // namespace quillo
