#include "Views/TriggerCommandField.h"

#include "Views/SettingsControls.h"
#include "Views/TriggerCommandLine.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo {

TriggerCommandField::TriggerCommandField(const QString& command, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("triggerCommand"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* instruction = SettingsControls::secondaryLabel(TriggerCommandLine::instruction, this);
    instruction->setObjectName(QStringLiteral("triggerCommandInstruction"));
    column->addWidget(instruction);

    auto* row = new QHBoxLayout;
    line_ = new QLineEdit(command, this);
    line_->setObjectName(QStringLiteral("triggerCommandLine"));
    line_->setReadOnly(true);
    line_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    line_->setAccessibleName(QStringLiteral("Trigger command"));
    row->addWidget(line_, 1);
    copy_ = new QPushButton(QStringLiteral("Copy"), this);
    copy_->setObjectName(QStringLiteral("copyTriggerCommand"));
    // A click only: a focused button would take the trigger key's own presses.
    copy_->setFocusPolicy(Qt::NoFocus);
    connect(copy_, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(line_->text());
        copy_->setText(QStringLiteral("Copied"));
    });
    row->addWidget(copy_);
    column->addLayout(row);

    bindingInstruction_ = SettingsControls::secondaryLabel(QString(), this);
    bindingInstruction_->setObjectName(QStringLiteral("desktopBindingInstruction"));
    column->addWidget(bindingInstruction_);
    bindingLine_ = new QLineEdit(this);
    bindingLine_->setObjectName(QStringLiteral("desktopBindingLine"));
    bindingLine_->setReadOnly(true);
    bindingLine_->setFont(line_->font());
    bindingLine_->setAccessibleName(QStringLiteral("Desktop configuration line"));
    column->addWidget(bindingLine_);
    setDesktopBinding(std::nullopt);
}

QString TriggerCommandField::command() const { return line_->text(); }

void TriggerCommandField::setDesktopBinding(const std::optional<DesktopBindingLine>& binding) {
    bindingInstruction_->setText(binding ? binding->instruction : QString());
    bindingLine_->setText(binding ? binding->line : QString());
    bindingInstruction_->setVisible(binding.has_value());
    bindingLine_->setVisible(binding && !binding->line.isEmpty());
}

} // namespace quillo
