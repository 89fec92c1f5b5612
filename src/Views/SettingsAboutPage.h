#pragma once

#include "Views/SettingsDependencies.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace quillo {

// The About tab: version and tagline, software updates, the diagnostic log export and the
// support address.
class SettingsAboutPage : public QWidget {
    Q_OBJECT
public:
    SettingsAboutPage(const SettingsDependencies& dependencies, QWidget* parent = nullptr);

    // The build's support address (a build constant).
    static QString buildSupportEmail();

    // Records the request, asks for a place and writes the export there.
    void exportLogs();
    QString exportMessage() const;

private:
    void refreshUpdater();
    void record(QuilloDiagnosticEvent event);

    SettingsDependencies deps_;
    QString supportEmail_;
    QPushButton* checkForUpdates_ = nullptr;
    QCheckBox* automaticChecks_ = nullptr;
    QCheckBox* checksAutomatically_ = nullptr;
    QCheckBox* automaticDownloads_ = nullptr;
    QLabel* updatesUnavailable_ = nullptr;
    QLabel* exportResult_ = nullptr;
};

} // namespace quillo
