#include "Views/QuilloSymbol.h"

#include <QPainter>
#include <QSvgRenderer>

static void initQuilloResources() { Q_INIT_RESOURCE(quillo); }

namespace quillo {

namespace QuilloSymbols {

QString resourcePath(QuilloSymbol symbol) {
    const char* name = "quillo";
    switch (symbol) {
    case QuilloSymbol::appIcon: name = "quillo"; break;
    case QuilloSymbol::menuBarIcon: name = "quillo-menubar"; break;
    case QuilloSymbol::sparkles: name = "sparkles"; break;
    case QuilloSymbol::checkmarkCircleFill: name = "checkmark-circle-fill"; break;
    case QuilloSymbol::exclamationmarkTriangleFill: name = "exclamationmark-triangle-fill"; break;
    case QuilloSymbol::exclamationmarkCircleFill: name = "exclamationmark-circle-fill"; break;
    case QuilloSymbol::xmarkCircleFill: name = "xmark-circle-fill"; break;
    case QuilloSymbol::boltFill: name = "bolt-fill"; break;
    case QuilloSymbol::lockFill: name = "lock-fill"; break;
    case QuilloSymbol::cloudFill: name = "cloud-fill"; break;
    case QuilloSymbol::creditcard: name = "creditcard"; break;
    case QuilloSymbol::plusCircleFill: name = "plus-circle-fill"; break;
    case QuilloSymbol::gearshape: name = "gearshape"; break;
    case QuilloSymbol::clock: name = "clock"; break;
    case QuilloSymbol::infoCircle: name = "info-circle"; break;
    case QuilloSymbol::wifi: name = "wifi"; break;
    case QuilloSymbol::wifiSlash: name = "wifi-slash"; break;
    case QuilloSymbol::globe: name = "globe"; break;
    case QuilloSymbol::testtube: name = "testtube"; break;
    case QuilloSymbol::lockShield: name = "lock-shield"; break;
    case QuilloSymbol::clockBadgeXmark: name = "clock-badge-xmark"; break;
    case QuilloSymbol::clockArrowCirclepath: name = "clock-arrow-circlepath"; break;
    case QuilloSymbol::arrowDownCircleFill: name = "arrow-down-circle-fill"; break;
    }
    return QStringLiteral(":/quillo/icons/%1.svg").arg(QLatin1String(name));
}

QPixmap pixmap(QuilloSymbol symbol, QSize size, const QColor& tint, qreal devicePixelRatio) {
    // The resources live in a static library; registering them here keeps the linker from
    // dropping them.
    static const bool registered = (initQuilloResources(), true);
    (void)registered;

    const QSize pixels = size * devicePixelRatio;
    QPixmap result(pixels);
    result.fill(Qt::transparent);
    QSvgRenderer renderer(resourcePath(symbol));
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    if (tint.isValid()) {
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(result.rect(), tint);
    }
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon icon(QuilloSymbol symbol, const QColor& tint) {
    QIcon result;
    for (int side : {16, 18, 22, 24, 32, 48, 64}) result.addPixmap(pixmap(symbol, QSize(side, side), tint));
    return result;
}

} // namespace QuilloSymbols

} // namespace quillo
