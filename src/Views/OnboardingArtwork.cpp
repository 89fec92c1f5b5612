#include "Views/OnboardingArtwork.h"

#include <QPainter>
#include <QSvgRenderer>

static void initOnboardingResources() { Q_INIT_RESOURCE(onboarding); }

namespace quillo {

namespace OnboardingArtwork {

QString resourcePath(OnboardingStep step) {
    const char* name = "welcome";
    switch (step) {
    case OnboardingStep::welcome: name = "welcome"; break;
    case OnboardingStep::permissions: name = "permissions"; break;
    case OnboardingStep::account: name = "account"; break;
    case OnboardingStep::shortcut: name = "shortcut"; break;
    case OnboardingStep::selection: name = "selection"; break;
    case OnboardingStep::privacy: name = "privacy"; break;
    case OnboardingStep::ready: name = "ready"; break;
    }
    return QStringLiteral(":/quillo/onboarding/%1.svg").arg(QLatin1String(name));
}

QPixmap pixmap(OnboardingStep step, QSize size, qreal devicePixelRatio) {
    // The resources live in a static library; registering them here keeps the linker from
    // dropping them.
    static const bool registered = (initOnboardingResources(), true);
    (void)registered;

    const QSize pixels = size * devicePixelRatio;
    QPixmap result(pixels);
    result.fill(Qt::transparent);
    QSvgRenderer renderer(resourcePath(step));
    if (renderer.isValid()) {
        QSizeF drawn = renderer.defaultSize();
        drawn.scale(QSizeF(pixels), Qt::KeepAspectRatio);
        const QPointF origin((pixels.width() - drawn.width()) / 2.0, (pixels.height() - drawn.height()) / 2.0);
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(origin, drawn));
    }
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

} // namespace OnboardingArtwork

} // namespace quillo
