#include "Platform/UserDefaults.h"

namespace quillo {

std::optional<QString> UserDefaults::string(const QString& key) const {
    const QVariant v = value(key);
    if (!v.isValid() || v.isNull()) return std::nullopt;
    if (v.typeId() == QMetaType::QString) return v.toString();
    if (v.typeId() == QMetaType::QByteArray) return QString::fromUtf8(v.toByteArray());
    return std::nullopt;
}

QString UserDefaults::string(const QString& key, const QString& defaultValue) const {
    return string(key).value_or(defaultValue);
}

std::optional<bool> UserDefaults::boolean(const QString& key) const {
    const QVariant v = value(key);
    if (!v.isValid() || v.isNull()) return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double: return v.toDouble() != 0.0;
    case QMetaType::QString: {
        // QSettings' text backend stores booleans as "true"/"false".
        const QString s = v.toString();
        if (s == QLatin1String("true")) return true;
        if (s == QLatin1String("false")) return false;
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

bool UserDefaults::boolean(const QString& key, bool defaultValue) const { return boolean(key).value_or(defaultValue); }

std::optional<double> UserDefaults::number(const QString& key) const {
    const QVariant v = value(key);
    if (!v.isValid() || v.isNull()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || v.typeId() == QMetaType::Bool) return std::nullopt;
    return d;
}

double UserDefaults::number(const QString& key, double defaultValue) const {
    return number(key).value_or(defaultValue);
}

std::optional<qint64> UserDefaults::integer(const QString& key) const {
    const QVariant v = value(key);
    if (!v.isValid() || v.isNull() || v.typeId() == QMetaType::Bool) return std::nullopt;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return i;
}

qint64 UserDefaults::integer(const QString& key, qint64 defaultValue) const {
    return integer(key).value_or(defaultValue);
}

std::optional<QByteArray> UserDefaults::data(const QString& key) const {
    const QVariant v = value(key);
    if (!v.isValid() || v.isNull()) return std::nullopt;
    if (v.typeId() == QMetaType::QByteArray) return v.toByteArray();
    return std::nullopt;
}

} // namespace quillo
