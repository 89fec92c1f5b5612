#include "Platform/Linux/SettingsUserDefaults.h"

namespace quillo {

SettingsUserDefaults::SettingsUserDefaults(const QString& organization, const QString& application, QObject* parent)
    : SettingsUserDefaults(
          std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, organization, application), parent) {}

SettingsUserDefaults::SettingsUserDefaults(std::unique_ptr<QSettings> settings, QObject* parent)
    : UserDefaults(parent), settings_(std::move(settings)) {}

SettingsUserDefaults* SettingsUserDefaults::atPath(const QString& path, QObject* parent) {
    return new SettingsUserDefaults(std::make_unique<QSettings>(path, QSettings::IniFormat), parent);
}

QVariant SettingsUserDefaults::value(const QString& key) const { return settings_->value(key); }
bool SettingsUserDefaults::contains(const QString& key) const { return settings_->contains(key); }

void SettingsUserDefaults::setValue(const QString& key, const QVariant& value) {
    settings_->setValue(key, value);
    settings_->sync();
    emit changed(key);
}

void SettingsUserDefaults::remove(const QString& key) {
    settings_->remove(key);
    settings_->sync();
    emit changed(key);
}

} // namespace quillo
