#include "Views/MenuBarPopoverView.h"

#include "Views/QuilloSymbol.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillo {

namespace {

QLabel* symbolLabel(QuilloSymbol symbol, const QColor& tint, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(QuilloSymbols::pixmap(symbol, QSize(16, 16), tint, parent->devicePixelRatioF()));
    label->setFixedSize(18, 18);
    return label;
}

QFrame* card(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("card"));
    frame->setStyleSheet(QStringLiteral("QFrame#card { background: palette(alternate-base); border-radius: 10px; }"));
    return frame;
}

QLabel* secondary(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

} // namespace

MenuBarPopoverView::MenuBarPopoverView(QWidget* parent) : QWidget(parent) {
    setFixedWidth(320);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 12);
    column->setSpacing(10);

    // Header.
    auto* header = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(QuilloSymbols::pixmap(QuilloSymbol::appIcon, QSize(22, 22), {}, devicePixelRatioF()));
    header->addWidget(logo);
    auto* name = new QLabel(QStringLiteral("Quillo"), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    name->setFont(bold);
    header->addWidget(name);
    header->addStretch(1);
    statusBadge_ = new QLabel(this);
    statusBadge_->setObjectName(QStringLiteral("statusBadge"));
    statusBadge_->setAccessibleName(QStringLiteral("Quillo status"));
    header->addWidget(statusBadge_);
    column->addLayout(header);

    // Cloud mode.
    auto* mode = card(this);
    auto* modeColumn = new QVBoxLayout(mode);
    auto* speedRow = new QHBoxLayout;
    speedRow->addWidget(symbolLabel(QuilloSymbol::boltFill, QuilloPalette::purple, this));
    speedTitle_ = new QLabel(mode);
    speedTitle_->setObjectName(QStringLiteral("speedTitle"));
    speedTitle_->setFont(bold);
    speedRow->addWidget(speedTitle_, 1);
    modeColumn->addLayout(speedRow);
    auto* engineRow = new QHBoxLayout;
    engineRow->addWidget(symbolLabel(QuilloSymbol::lockFill, QuilloPalette::grey, this));
    auto* engineText = new QVBoxLayout;
    engineText->setSpacing(0);
    engineText->addWidget(new QLabel(QStringLiteral("Secure cloud engine"), mode));
    engineText->addWidget(secondary(QStringLiteral("Zero Data Retention · TLS 1.3"), mode));
    engineRow->addLayout(engineText, 1);
    engineRow->addWidget(symbolLabel(QuilloSymbol::cloudFill, QuilloPalette::grey, this));
    engineState_ = new QLabel(mode);
    engineState_->setObjectName(QStringLiteral("engineState"));
    engineRow->addWidget(engineState_);
    modeColumn->addLayout(engineRow);
    column->addWidget(mode);

    // Balance.
    auto* balance = card(this);
    auto* balanceColumn = new QVBoxLayout(balance);
    auto* balanceRow = new QHBoxLayout;
    balanceRow->addWidget(symbolLabel(QuilloSymbol::creditcard, QuilloPalette::grey, this));
    auto* balanceText = new QVBoxLayout;
    balanceText->setSpacing(0);
    balanceTitle_ = new QLabel(balance);
    balanceTitle_->setObjectName(QStringLiteral("balanceTitle"));
    balanceText->addWidget(balanceTitle_);
    balanceHint_ = secondary(QStringLiteral("Open Settings to sign in"), balance);
    balanceHint_->setObjectName(QStringLiteral("balanceHint"));
    balanceText->addWidget(balanceHint_);
    balanceRow->addLayout(balanceText, 1);
    balanceValue_ = new QLabel(balance);
    balanceValue_->setObjectName(QStringLiteral("balanceValue"));
    balanceValue_->setFont(bold);
    balanceRow->addWidget(balanceValue_);
    topUp_ = new QToolButton(balance);
    topUp_->setObjectName(QStringLiteral("topUp"));
    topUp_->setIcon(QuilloSymbols::icon(QuilloSymbol::plusCircleFill, QuilloPalette::purple));
    topUp_->setAutoRaise(true);
    topUp_->setToolTip(QStringLiteral("Choose a Quillo credit pack"));
    topUp_->setAccessibleName(QStringLiteral("Choose a Quillo credit pack"));
    connect(topUp_, &QToolButton::clicked, this, &MenuBarPopoverView::creditPacksRequested);
    balanceRow->addWidget(topUp_);
    balanceColumn->addLayout(balanceRow);
    auto* refreshRow = new QHBoxLayout;
    refreshing_ = new QProgressBar(balance);
    refreshing_->setObjectName(QStringLiteral("refreshing"));
    refreshing_->setRange(0, 0);
    refreshing_->setFixedSize(60, 6);
    refreshing_->setTextVisible(false);
    refreshRow->addWidget(refreshing_);
    refreshingText_ = secondary(QStringLiteral("Refreshing balance"), balance);
    refreshRow->addWidget(refreshingText_, 1);
    balanceColumn->addLayout(refreshRow);
    column->addWidget(balance);

    // Low credit.
    lowCredit_ = new QFrame(this);
    lowCredit_->setObjectName(QStringLiteral("lowCredit"));
    auto* lowRow = new QHBoxLayout(lowCredit_);
    lowRow->setContentsMargins(0, 0, 0, 0);
    lowRow->addWidget(symbolLabel(QuilloSymbol::exclamationmarkTriangleFill, QuilloPalette::orange, this));
    auto* lowText = new QLabel(MenuBarPopoverRules::lowCreditWarning, lowCredit_);
    lowText->setWordWrap(true);
    lowRow->addWidget(lowText, 1);
    auto* lowButton = new QPushButton(QStringLiteral("Top up"), lowCredit_);
    lowButton->setObjectName(QStringLiteral("lowCreditTopUp"));
    connect(lowButton, &QPushButton::clicked, this, &MenuBarPopoverView::creditPacksRequested);
    lowRow->addWidget(lowButton);
    column->addWidget(lowCredit_);

    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setWordWrap(true);
    notice_->setForegroundRole(QPalette::PlaceholderText);
    notice_->hide();
    column->addWidget(notice_);

    undo_ = new QPushButton(QStringLiteral("Undo Last Correction"), this);
    undo_->setObjectName(QStringLiteral("undoLastCorrection"));
    undo_->setFlat(true);
    undo_->hide();
    connect(undo_, &QPushButton::clicked, this, &MenuBarPopoverView::undoRequested);
    column->addWidget(undo_);

    // Footer.
    auto* footer = new QHBoxLayout;
    auto* settings = new QPushButton(QuilloSymbols::icon(QuilloSymbol::gearshape, QuilloPalette::grey),
                                     QStringLiteral("Settings"), this);
    settings->setObjectName(QStringLiteral("settings"));
    settings->setFlat(true);
    // The application's "Settings…" command: Control+, while the popover has the keyboard. A
    // shortcut of its own, as a button's shortcut clicks only after its press animation.
    auto* settingsShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), this);
    connect(settingsShortcut, &QShortcut::activated, this, &MenuBarPopoverView::settingsRequested);
    settings->setToolTip(
        QStringLiteral("Settings… (%1)").arg(settingsShortcut->key().toString(QKeySequence::NativeText)));
    connect(settings, &QPushButton::clicked, this, &MenuBarPopoverView::settingsRequested);
    footer->addWidget(settings);
    footer->addStretch(1);
    auto* quit = new QPushButton(QStringLiteral("Quit"), this);
    quit->setObjectName(QStringLiteral("quit"));
    quit->setFlat(true);
    connect(quit, &QPushButton::clicked, this, &MenuBarPopoverView::quitRequested);
    footer->addWidget(quit);
    column->addLayout(footer);

    refresh();
}

void MenuBarPopoverView::setUndoAvailable(bool available) {
    undo_->setVisible(available);
    adjustSize();
}

void MenuBarPopoverView::setInputs(const MenuBarPopoverInputs& inputs) {
    if (inputs_ == inputs) return;
    inputs_ = inputs;
    refresh();
}

void MenuBarPopoverView::setNotice(const QString& notice) {
    notice_->setText(notice);
    notice_->setVisible(!notice.isEmpty());
    adjustSize();
}

void MenuBarPopoverView::refresh() {
    const MenuBarPopoverStatus status = MenuBarPopoverRules::status(inputs_);
    const QColor color = MenuBarPopoverRules::statusColor(status);
    statusBadge_->setText(MenuBarPopoverRules::statusText(status));
    statusBadge_->setStyleSheet(
        QStringLiteral("color: %1; border: 1px solid %1; border-radius: 8px; padding: 1px 8px;").arg(color.name()));
    speedTitle_->setText(CloudCorrectionModels::title(inputs_.cloudModel));
    engineState_->setText(MenuBarPopoverRules::engineStateText(inputs_));

    balanceTitle_->setText(inputs_.signedIn ? QStringLiteral("Remaining balance") : QStringLiteral("Sign in required"));
    balanceHint_->setVisible(!inputs_.signedIn);
    balanceValue_->setText(MenuBarPopoverRules::balanceText(inputs_));
    topUp_->setVisible(inputs_.signedIn);
    const bool refreshing = inputs_.signedIn && inputs_.isRefreshing;
    refreshing_->setVisible(refreshing);
    refreshingText_->setVisible(refreshing);
    lowCredit_->setVisible(MenuBarPopoverRules::showsLowCreditWarning(inputs_));
    if (layout()) layout()->activate();
    adjustSize();
}

} // namespace quillo
