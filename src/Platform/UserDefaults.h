#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <optional>

namespace quillo {

// The standard user defaults: preferences under fixed keys. Reads are typed with defaults;
// a stored value of the wrong type reads as absent.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~UserDefaults() override = default;

    virtual QVariant value(const QString& key) const = 0;
    virtual bool contains(const QString& key) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;

    std::optional<QString> string(const QString& key) const;
    QString string(const QString& key, const QString& defaultValue) const;
    std::optional<bool> boolean(const QString& key) const;
    bool boolean(const QString& key, bool defaultValue) const;
    std::optional<double> number(const QString& key) const;
    double number(const QString& key, double defaultValue) const;
    std::optional<qint64> integer(const QString& key) const;
    qint64 integer(const QString& key, qint64 defaultValue) const;
    std::optional<QByteArray> data(const QString& key) const;

    void setString(const QString& key, const QString& value) { setValue(key, value); }
    void setBoolean(const QString& key, bool value) { setValue(key, value); }
    void setNumber(const QString& key, double value) { setValue(key, value); }
    void setInteger(const QString& key, qint64 value) { setValue(key, value); }
    void setData(const QString& key, const QByteArray& value) { setValue(key, value); }

signals:
    // Emitted after a write or removal through this object.
    void changed(const QString& key);
};

} // namespace quillo
