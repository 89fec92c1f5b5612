#include "Views/BasicSettingsWindow.h"

#include "Platform/UserDefaults.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/QuilloSymbol.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo {

BasicSettingsWindow::BasicSettingsWindow(UserDefaults& defaults, LaunchAtLoginSettings& launchAtLogin, QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(QStringLiteral("Quillo Settings"));
    setWindowIcon(QuilloSymbols::icon(QuilloSymbol::appIcon));
    resize(620, 560);
    setMinimumSize(520, 480);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 24, 28, 24);

    const auto addSwitch = [&](const QString& title, const QString& key, bool fallback) {
        auto* box = new QCheckBox(title, this);
        box->setObjectName(key);
        box->setChecked(defaults.boolean(key, fallback));
        connect(box, &QCheckBox::toggled, this, [&defaults, key](bool on) { defaults.setBoolean(key, on); });
        column->addWidget(box);
    };
    addSwitch(QStringLiteral("Correct on trigger key"), QStringLiteral("autoCorrect"), true);
    addSwitch(QStringLiteral("Show correction preview"), QStringLiteral("showNotifications"), true);

    auto* login = new QCheckBox(QStringLiteral("Launch at login"), this);
    login->setObjectName(QStringLiteral("launchAtLogin"));
    login->setChecked(launchAtLogin.isEnabled());
    auto* loginMessage = new QLabel(this);
    loginMessage->setWordWrap(true);
    loginMessage->setStyleSheet(QStringLiteral("color: palette(placeholder-text);"));
    const auto refresh = [login, loginMessage, &launchAtLogin] {
        const QSignalBlocker block(login);
        login->setChecked(launchAtLogin.isEnabled());
        QString message = launchAtLogin.errorMessage().value_or(QString());
        if (message.isEmpty() && launchAtLogin.requiresApproval()) message = LaunchAtLoginSettings::approvalMessage;
        loginMessage->setText(message);
        loginMessage->setVisible(!message.isEmpty());
    };
    connect(login, &QCheckBox::toggled, this, [&launchAtLogin](bool on) { launchAtLogin.setEnabled(on); });
    connect(&launchAtLogin, &LaunchAtLoginSettings::statusChanged, this, refresh);
    connect(&launchAtLogin, &LaunchAtLoginSettings::errorMessageChanged, this, refresh);
    refresh();
    column->addWidget(login);
    column->addWidget(loginMessage);
    column->addStretch(1);

    auto* onboarding = new QPushButton(QStringLiteral("Show Welcome Again"), this);
    connect(onboarding, &QPushButton::clicked, this, &BasicSettingsWindow::restartOnboardingRequested);
    column->addWidget(onboarding, 0, Qt::AlignLeft);
}

void BasicSettingsWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

} // namespace quillo
