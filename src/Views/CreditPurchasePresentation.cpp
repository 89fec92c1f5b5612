#include "Views/CreditPurchasePresentation.h"

namespace quillo {

void CreditPurchasePresentation::setExpanded(bool expanded) {
    if (isExpanded_ == expanded) return;
    isExpanded_ = expanded;
    emit isExpandedChanged();
}

void CreditPurchasePresentation::setSelectedSettingsTab(QuilloSettingsTab tab) {
    if (selectedSettingsTab_ == tab) return;
    selectedSettingsTab_ = tab;
    emit selectedSettingsTabChanged();
}

void CreditPurchasePresentation::setSelectedPack(QuilloCreditPack pack) {
    if (selectedPack_ == pack) return;
    selectedPack_ = pack;
    emit selectedPackChanged();
}

} // namespace quillo
