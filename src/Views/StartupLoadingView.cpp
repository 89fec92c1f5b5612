#include "Views/StartupLoadingView.h"

#include "Views/QuilloSymbol.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo {

StartupLoadingView::StartupLoadingView(InputsSource inputs, InputPermissionCoordinator& permission, QString displayName,
                                       std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent), source_(std::move(inputs)), permission_(permission), displayName_(std::move(displayName)),
      dismiss_(std::move(dismiss)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(QuilloSymbols::pixmap(QuilloSymbol::appIcon, QSize(28, 28), {}, devicePixelRatioF()));
    header->addWidget(logo);
    auto* title = new QLabel(QStringLiteral("Starting Quillo"), this);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.25);
    title->setFont(big);
    header->addWidget(title, 1);
    column->addLayout(header);

    engine_ = addRow(QStringLiteral("Engine"), "engine");
    account_ = addRow(QStringLiteral("Account"), "account");
    permissionRow_ = addRow(QStringLiteral("Permission"), "permission");

    auto* permissionActions = new QHBoxLayout;
    permissionNote_ = new QLabel(StartupLoadingRules::permissionNote(displayName_), this);
    permissionNote_->setObjectName(QStringLiteral("permissionNote"));
    permissionNote_->setWordWrap(true);
    permissionNote_->setForegroundRole(QPalette::PlaceholderText);
    permissionActions->addWidget(permissionNote_, 1);
    permissionButton_ = new QPushButton(this);
    permissionButton_->setObjectName(QStringLiteral("permissionButton"));
    connect(permissionButton_, &QPushButton::clicked, this,
            [this] { permission_.performPrimaryAction(InputPermissionKind::accessibility); });
    permissionActions->addWidget(permissionButton_);
    column->addLayout(permissionActions);
    column->addStretch(1);

    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    dismissButton_ = new QPushButton(this);
    dismissButton_->setObjectName(QStringLiteral("dismissButton"));
    dismissButton_->setDefault(true);
    connect(dismissButton_, &QPushButton::clicked, this, [this] {
        dismissed_ = true;
        if (dismiss_) dismiss_();
    });
    footer->addWidget(dismissButton_);
    column->addLayout(footer);

    connect(&permission_, &InputPermissionCoordinator::stateChanged, this, [this] {
        refresh();
        dismissIfReady();
    });
    connect(&permission_, &InputPermissionCoordinator::attemptedRequestsChanged, this, &StartupLoadingView::refresh);
    inputs_ = source_ ? source_() : StartupLoadingInputs{};
    refresh();
}

StartupLoadingView::Row StartupLoadingView::addRow(const QString& title, const char* name) {
    auto* row = new QHBoxLayout;
    auto* mark = new QLabel(this);
    mark->setObjectName(QStringLiteral("%1Mark").arg(QLatin1String(name)));
    mark->setFixedSize(18, 18);
    row->addWidget(mark);
    auto* titleLabel = new QLabel(title, this);
    QFont bold = titleLabel->font();
    bold.setBold(true);
    titleLabel->setFont(bold);
    titleLabel->setMinimumWidth(90);
    row->addWidget(titleLabel);
    auto* detail = new QLabel(this);
    detail->setObjectName(QStringLiteral("%1Detail").arg(QLatin1String(name)));
    detail->setWordWrap(true);
    row->addWidget(detail, 1);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    return {mark, detail};
}

void StartupLoadingView::setMark(Row row, StartupStatusState state) {
    QuilloSymbol symbol = QuilloSymbol::sparkles;
    QColor tint = QuilloPalette::grey;
    QString name = QStringLiteral("Checking");
    switch (state) {
    case StartupStatusState::checking: break;
    case StartupStatusState::ready:
        symbol = QuilloSymbol::checkmarkCircleFill, tint = QuilloPalette::green, name = QStringLiteral("Ready");
        break;
    case StartupStatusState::needsAttention:
        symbol = QuilloSymbol::exclamationmarkCircleFill, tint = QuilloPalette::orange;
        name = QStringLiteral("Needs attention");
        break;
    case StartupStatusState::failed:
        symbol = QuilloSymbol::xmarkCircleFill, tint = QuilloPalette::red, name = QStringLiteral("Failed");
        break;
    }
    row.mark->setPixmap(QuilloSymbols::pixmap(symbol, QSize(16, 16), tint, devicePixelRatioF()));
    row.mark->setAccessibleName(name);
    row.mark->setProperty("state", int(state));
}

bool StartupLoadingView::permissionGranted() const { return permission_.state().accessibilityGranted; }

QString StartupLoadingView::dismissButtonTitle() const {
    return StartupLoadingRules::dismissButtonTitle(inputs_, permissionGranted());
}

void StartupLoadingView::refresh() {
    setMark(engine_, StartupLoadingRules::engineStatus(inputs_));
    engine_.detail->setText(StartupLoadingRules::engineDetail(inputs_));
    setMark(account_, StartupLoadingRules::accountStatus(inputs_));
    account_.detail->setText(StartupLoadingRules::accountDetail(inputs_));
    const bool granted = permissionGranted();
    setMark(permissionRow_, StartupLoadingRules::permissionStatus(granted));
    permissionRow_.detail->setText(StartupLoadingRules::permissionDetail(granted));
    const auto action = InputPermissionNextActions::title(permission_.nextAction(InputPermissionKind::accessibility));
    permissionButton_->setVisible(!granted && action.has_value());
    if (action) permissionButton_->setText(*action);
    permissionNote_->setVisible(!granted);
    dismissButton_->setText(dismissButtonTitle());
}

void StartupLoadingView::dismissIfReady() {
    if (dismissed_ || !StartupLoadingRules::isReady(inputs_, permissionGranted())) return;
    dismissed_ = true;
    if (dismiss_) dismiss_();
}

void StartupLoadingView::inputsChanged() {
    inputs_ = source_ ? source_() : StartupLoadingInputs{};
    refresh();
    dismissIfReady();
}

void StartupLoadingView::applicationBecameActive() {
    permission_.refresh();
    inputs_ = source_ ? source_() : StartupLoadingInputs{};
    refresh();
    dismissIfReady();
}

void StartupLoadingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    applicationBecameActive();
}

} // namespace quillo
