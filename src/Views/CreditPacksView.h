#pragma once

#include "Models/QuilloCreditPack.h"

#include <QWidget>
#include <map>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quillo {

class CreditPurchasePresentation;
class DisclosureButton;
class QuilloCloudService;
class QuilloPaymentService;
class QuilloSessionProviding;

// The credit packs of the settings window: "Top-up" shows the three packs, one is picked and
// bought through the browser checkout; the purchase's progress and outcome are shown as the
// payment service reports them. Holds no payment logic.
class CreditPacksView : public QWidget {
    Q_OBJECT
public:
    CreditPacksView(QuilloPaymentService& payment, QuilloSessionProviding& auth, QuilloCloudService& cloud,
                    CreditPurchasePresentation& presentation, QWidget* parent = nullptr);

    // The panel with the packs (for scrolling to it).
    QWidget* packsPanel() const { return panel_; }

private:
    void refresh();
    void expandedChanged();
    void buy();

    QuilloPaymentService& payment_;
    QuilloSessionProviding& auth_;
    QuilloCloudService& cloud_;
    CreditPurchasePresentation& presentation_;
    DisclosureButton* toggle_ = nullptr;
    QWidget* panel_ = nullptr;
    QButtonGroup* packs_ = nullptr;
    std::map<QuilloCreditPack, QAbstractButton*> packButtons_;
    QPushButton* buy_ = nullptr;
    QLabel* signInHint_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* refreshPayment_ = nullptr;
};

} // namespace quillo
