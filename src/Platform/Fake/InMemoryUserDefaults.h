#pragma once

#include "Platform/UserDefaults.h"

#include <QHash>

namespace quillo {

class InMemoryUserDefaults final : public UserDefaults {
    Q_OBJECT
public:
    using UserDefaults::UserDefaults;

    QVariant value(const QString& key) const override { return values_.value(key); }
    bool contains(const QString& key) const override { return values_.contains(key); }
    void setValue(const QString& key, const QVariant& value) override {
        values_.insert(key, value);
        emit changed(key);
    }
    void remove(const QString& key) override {
        values_.remove(key);
        emit changed(key);
    }
    QStringList keys() const { return values_.keys(); }

private:
    QHash<QString, QVariant> values_;
};

} // namespace quillo
