#include "Views/CreditPacksView.h"

#include "Models/QuilloPurchaseState.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloPaymentService.h"
#include "Services/QuilloSessionProviding.h"
#include "Views/CreditPurchasePresentation.h"
#include "Views/SettingsControls.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <qcoro/qcorotask.h>

namespace quillo {

namespace {

using namespace SettingsControls;

// One pack as a selectable card: title, badges, price and what it grants.
QToolButton* packCard(QuilloCreditPack pack, QWidget* parent) {
    auto* card = new QToolButton(parent);
    card->setObjectName(QStringLiteral("pack-") + QuilloCreditPacks::rawValue(pack));
    card->setCheckable(true);
    card->setToolButtonStyle(Qt::ToolButtonTextOnly);
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    card->setMinimumHeight(92);
    card->setStyleSheet(QStringLiteral(
        "QToolButton { border: 1px solid palette(mid); border-radius: 10px; padding: 8px; background: palette(base); }"
        "QToolButton:checked { border: 2px solid #AF52DE; }"
        "QToolButton:disabled { color: palette(mid); }"));

    QStringList badges;
    if (QuilloCreditPacks::isRecommended(pack)) badges << QStringLiteral("Popular");
    if (const int bonus = QuilloCreditPacks::bonusCredits(pack); bonus > 0)
        badges << QStringLiteral("+%1 FREE").arg(bonus);
    QStringList lines{QuilloCreditPacks::title(pack)};
    if (!badges.isEmpty()) lines << badges.join(QStringLiteral(" · "));
    lines << QuilloCreditPacks::priceText(pack) << QuilloCreditPacks::creditSummary(pack);
    card->setText(lines.join(QLatin1Char('\n')));
    card->setAccessibleName(QuilloCreditPacks::title(pack) + QStringLiteral(", ") + QuilloCreditPacks::priceText(pack) +
                            QStringLiteral(", ") + QuilloCreditPacks::creditSummary(pack));
    card->setProperty("badges", badges);
    return card;
}

} // namespace

CreditPacksView::CreditPacksView(QuilloPaymentService& payment, QuilloSessionProviding& auth, QuilloCloudService& cloud,
                                 CreditPurchasePresentation& presentation, QWidget* parent)
    : QWidget(parent), payment_(payment), auth_(auth), cloud_(cloud), presentation_(presentation) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->addWidget(secondaryLabel(QStringLiteral("One-time credit packs, paid securely in your browser."), this), 1);
    toggle_ = new DisclosureButton(QStringLiteral("Hide packs"), QStringLiteral("Top-up"), this);
    toggle_->setObjectName(QStringLiteral("creditPacksToggle"));
    toggle_->setIcon(QuilloSymbols::icon(QuilloSymbol::plusCircleFill, QuilloPalette::purple));
    header->addWidget(toggle_);
    column->addLayout(header);

    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("creditPacksPanel"));
    auto* panelColumn = new QVBoxLayout(panel_);
    panelColumn->setContentsMargins(0, 0, 0, 0);
    auto* cards = new QHBoxLayout;
    packs_ = new QButtonGroup(this);
    packs_->setExclusive(true);
    for (QuilloCreditPack pack : QuilloCreditPacks::allCases) {
        QToolButton* card = packCard(pack, panel_);
        packs_->addButton(card);
        packButtons_[pack] = card;
        cards->addWidget(card);
        connect(card, &QToolButton::clicked, this, [this, pack] { presentation_.setSelectedPack(pack); });
    }
    panelColumn->addLayout(cards);

    auto* actions = new QHBoxLayout;
    buy_ = new QPushButton(panel_);
    buy_->setObjectName(QStringLiteral("buyPack"));
    buy_->setDefault(false);
    actions->addWidget(buy_);
    busy_ = new QProgressBar(panel_);
    busy_->setObjectName(QStringLiteral("purchaseBusy"));
    busy_->setRange(0, 0);
    busy_->setFixedSize(60, 6);
    busy_->setTextVisible(false);
    actions->addWidget(busy_);
    actions->addStretch(1);
    refreshPayment_ = new QPushButton(QStringLiteral("Refresh payment status"), panel_);
    refreshPayment_->setObjectName(QStringLiteral("refreshPayment"));
    actions->addWidget(refreshPayment_);
    panelColumn->addLayout(actions);

    signInHint_ = secondaryLabel(QStringLiteral("Sign in to buy credits."), panel_);
    signInHint_->setObjectName(QStringLiteral("purchaseSignInHint"));
    panelColumn->addWidget(signInHint_);
    status_ = new QLabel(panel_);
    status_->setObjectName(QStringLiteral("purchaseStatus"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    panelColumn->addWidget(status_);
    column->addWidget(panel_);

    connect(toggle_, &QPushButton::clicked, &presentation_, &CreditPurchasePresentation::toggle);
    connect(buy_, &QPushButton::clicked, this, &CreditPacksView::buy);
    connect(refreshPayment_, &QPushButton::clicked, this,
            [this] { QCoro::connect(payment_.refreshPayment(auth_, cloud_), this, [] {}); });
    connect(&presentation_, &CreditPurchasePresentation::isExpandedChanged, this, &CreditPacksView::expandedChanged);
    connect(&presentation_, &CreditPurchasePresentation::selectedPackChanged, this, &CreditPacksView::refresh);
    connect(&payment_, &QuilloPaymentService::stateChanged, this, &CreditPacksView::refresh);
    connect(&auth_, &QuilloSessionProviding::sessionChanged, this, &CreditPacksView::refresh);

    refresh();
    if (presentation_.isExpanded()) expandedChanged();
}

void CreditPacksView::expandedChanged() {
    refresh();
    // The panel appearing is when a followed order is worth checking again.
    if (presentation_.isExpanded()) QCoro::connect(payment_.prepare(auth_, cloud_), this, [] {});
}

void CreditPacksView::buy() {
    const QuilloPurchaseState& state = payment_.state();
    if (state.locksPackSelection() || !auth_.currentSession()) return;
    QCoro::connect(payment_.purchase(presentation_.selectedPack(), auth_, cloud_), this, [] {});
}

void CreditPacksView::refresh() {
    const bool expanded = presentation_.isExpanded();
    toggle_->setExpanded(expanded);
    panel_->setVisible(expanded);

    const QuilloPurchaseState& state = payment_.state();
    const bool locked = state.locksPackSelection();
    // While a checkout is made or open, the picker shows its pack and cannot change.
    const QuilloCreditPack shown = locked && state.pack ? *state.pack : presentation_.selectedPack();
    for (const auto& [pack, button] : packButtons_) {
        button->setChecked(pack == shown);
        button->setEnabled(!locked);
    }
    const bool signedIn = auth_.currentSession().has_value();
    buy_->setText(QStringLiteral("Buy ") + QuilloCreditPacks::title(shown) + QStringLiteral(" – ") +
                  QuilloCreditPacks::priceText(shown));
    buy_->setEnabled(signedIn && !locked);
    signInHint_->setVisible(!signedIn);
    busy_->setVisible(state.isCreatingCheckout());
    const QString message = state.message().value_or(QString());
    status_->setText(message);
    status_->setVisible(!message.isEmpty());
    status_->setStyleSheet(state.kind == QuilloPurchaseState::Kind::failed ? QStringLiteral("color: #FF3B30;")
                                                                           : QString());
    refreshPayment_->setVisible(state.canRefreshPayment());
}

} // namespace quillo
