#include "Views/QuilloSettingsTab.h"

namespace quillo::QuilloSettingsTabs {

QString title(QuilloSettingsTab tab) {
    switch (tab) {
    case QuilloSettingsTab::general: return QStringLiteral("General");
    case QuilloSettingsTab::history: return QStringLiteral("History");
    case QuilloSettingsTab::about: return QStringLiteral("About");
    }
    return {};
}

QuilloSymbol symbol(QuilloSettingsTab tab) {
    switch (tab) {
    case QuilloSettingsTab::general: return QuilloSymbol::gearshape;
    case QuilloSettingsTab::history: return QuilloSymbol::clock;
    case QuilloSettingsTab::about: return QuilloSymbol::infoCircle;
    }
    return QuilloSymbol::gearshape;
}

} // namespace quillo::QuilloSettingsTabs
