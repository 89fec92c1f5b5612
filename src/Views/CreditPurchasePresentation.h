#pragma once

#include "Models/QuilloCreditPack.h"
#include "Views/QuilloSettingsTab.h"

#include <QObject>

namespace quillo {

// Shared by the settings window and whoever opens it at the credit packs (the tray popover):
// whether the packs are shown, which settings tab is selected and which pack is picked.
// Main thread only.
class CreditPurchasePresentation : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool isExpanded() const { return isExpanded_; }
    QuilloSettingsTab selectedSettingsTab() const { return selectedSettingsTab_; }
    QuilloCreditPack selectedPack() const { return selectedPack_; }

    void setExpanded(bool expanded);
    void setSelectedSettingsTab(QuilloSettingsTab tab);
    void setSelectedPack(QuilloCreditPack pack);

    void show() { setExpanded(true); }
    void hide() { setExpanded(false); }
    void toggle() { setExpanded(!isExpanded_); }

signals:
    void isExpandedChanged();
    void selectedSettingsTabChanged();
    void selectedPackChanged();

private:
    bool isExpanded_ = false;
    QuilloSettingsTab selectedSettingsTab_ = QuilloSettingsTab::general;
    QuilloCreditPack selectedPack_ = QuilloCreditPack::regular;
};

} // namespace quillo
