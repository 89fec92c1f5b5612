#pragma once

#include "Platform/UserDefaults.h"

#include <QSettings>

namespace quillo {

// The user defaults of this desktop: QSettings in the user's config folder
// (organisation and application "Quillo"; a test build passes its own names).
class SettingsUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    explicit SettingsUserDefaults(const QString& organization = QStringLiteral("Quillo"),
                                  const QString& application = QStringLiteral("Quillo"), QObject* parent = nullptr);
    // A defaults file at an explicit path (tools and tests).
    static SettingsUserDefaults* atPath(const QString& path, QObject* parent = nullptr);

    QVariant value(const QString& key) const override;
    bool contains(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
    QString fileName() const { return settings_->fileName(); }

private:
    explicit SettingsUserDefaults(std::unique_ptr<QSettings> settings, QObject* parent);
    std::unique_ptr<QSettings> settings_;
};

} // namespace quillo
