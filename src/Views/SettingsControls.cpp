#include "Views/SettingsControls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

namespace quillo {

namespace {

// Reports a disclosure button's expanded state and value; otherwise a plain button.
class DisclosureButtonAccessible final : public QAccessibleWidget {
public:
    explicit DisclosureButtonAccessible(DisclosureButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        auto* button = static_cast<DisclosureButton*>(widget());
        if (t == QAccessible::Value) return button->accessibleValue();
        if (t == QAccessible::Name && button->accessibleName().isEmpty()) return button->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        const bool expanded = static_cast<DisclosureButton*>(widget())->isExpanded();
        s.expandable = true;
        s.expanded = expanded;
        s.collapsed = !expanded;
        return s;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override {
        if (action == pressAction()) static_cast<DisclosureButton*>(widget())->click();
        else QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* disclosureButtonFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("quillo::DisclosureButton") && object && object->isWidgetType())
        return new DisclosureButtonAccessible(static_cast<DisclosureButton*>(object));
    return nullptr;
}

} // namespace

namespace SettingsControls {

QLabel* symbolLabel(QuilloSymbol symbol, const QColor& tint, QWidget* parent, int side) {
    auto* label = new QLabel(parent);
    label->setPixmap(
        QuilloSymbols::pixmap(symbol, QSize(side, side), tint, parent ? parent->devicePixelRatioF() : 1.0));
    label->setFixedSize(side + 2, side + 2);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    // A role, not a style sheet: Qt 6.4 style sheets know no placeholder-text colour.
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* titleLabel(const QString& text, QWidget* parent, qreal scale) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

QWidget* section(const QString& title, QWidget* parent, QVBoxLayout** body) {
    auto* container = new QWidget(parent);
    auto* column = new QVBoxLayout(container);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    if (!title.isEmpty()) column->addWidget(titleLabel(title, container));
    auto* card = new QFrame(container);
    card->setObjectName(QStringLiteral("settingsCard"));
    card->setStyleSheet(
        QStringLiteral("QFrame#settingsCard { background: palette(alternate-base); border-radius: 10px; }"));
    auto* inner = new QVBoxLayout(card);
    inner->setContentsMargins(14, 12, 14, 12);
    inner->setSpacing(10);
    column->addWidget(card);
    *body = inner;
    return container;
}

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setStyleSheet(QStringLiteral("color: palette(mid);"));
    return line;
}

} // namespace SettingsControls

DisclosureButton::DisclosureButton(QString expandedTitle, QString collapsedTitle, QWidget* parent)
    : QPushButton(parent), expandedTitle_(std::move(expandedTitle)), collapsedTitle_(std::move(collapsedTitle)) {
    static const bool installed = (QAccessible::installFactory(disclosureButtonFactory), true);
    (void)installed;
    setText(collapsedTitle_);
}

void DisclosureButton::setExpanded(bool expanded) {
    if (expanded_ == expanded && !text().isEmpty()) return;
    expanded_ = expanded;
    setText(expanded ? expandedTitle_ : collapsedTitle_);
    QAccessible::State changed;
    changed.expanded = true;
    changed.collapsed = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

QString DisclosureButton::accessibleValue() const {
    return expanded_ ? QStringLiteral("Expanded") : QStringLiteral("Collapsed");
}

} // namespace quillo
