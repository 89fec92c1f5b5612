#include "Platform/Wayland/GSettingsStore.h"

#include <QProcess>

namespace quillo {

namespace {

// gsettings answers at once; a hung one must not stall the trigger's setup.
constexpr int toolTimeoutMs = 3000;

QString schemaAt(const QString& schema, const QString& path) {
    return path.isEmpty() ? schema : schema + QLatin1Char(':') + path;
}

// Reads one quoted string starting at `at` (on the quote); moves `at` past it.
std::optional<QString> quoted(const QString& text, qsizetype& at) {
    if (at >= text.size()) return std::nullopt;
    const QChar quote = text[at];
    if (quote != QLatin1Char('\'') && quote != QLatin1Char('"')) return std::nullopt;
    QString result;
    for (++at; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c == quote) {
            ++at;
            return result;
        }
        if (c == QLatin1Char('\\') && at + 1 < text.size()) {
            const QChar next = text[++at];
            if (next == QLatin1Char('n')) result.append(QLatin1Char('\n'));
            else if (next == QLatin1Char('t')) result.append(QLatin1Char('\t'));
            else result.append(next);
            continue;
        }
        result.append(c);
    }
    return std::nullopt;
}

void skipSpaces(const QString& text, qsizetype& at) {
    while (at < text.size() && text[at].isSpace()) ++at;
}

} // namespace

namespace GVariantText {

QString string(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString stringArray(const QStringList& items) {
    if (items.isEmpty()) return QStringLiteral("@as []");
    QStringList quotedItems;
    for (const QString& item : items) quotedItems.append(string(item));
    return QLatin1Char('[') + quotedItems.join(QLatin1String(", ")) + QLatin1Char(']');
}

std::optional<QStringList> parseStringArray(const QString& input) {
    QString text = input.trimmed();
    if (text.startsWith(QLatin1String("@as"))) text = text.mid(3).trimmed();
    if (!text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']'))) return std::nullopt;
    QStringList items;
    qsizetype at = 1;
    skipSpaces(text, at);
    if (at == text.size() - 1) return items;
    while (at < text.size()) {
        skipSpaces(text, at);
        const auto item = quoted(text, at);
        if (!item) return std::nullopt;
        items.append(*item);
        skipSpaces(text, at);
        if (at >= text.size()) return std::nullopt;
        if (text[at] == QLatin1Char(']'))
            return at == text.size() - 1 ? std::optional<QStringList>(items) : std::nullopt;
        if (text[at] != QLatin1Char(',')) return std::nullopt;
        ++at;
    }
    return std::nullopt;
}

std::optional<QString> parseString(const QString& input) {
    const QString text = input.trimmed();
    qsizetype at = 0;
    auto result = quoted(text, at);
    if (!result || at != text.size()) return std::nullopt;
    return result;
}

} // namespace GVariantText

std::optional<QString> GSettingsTool::run(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("gsettings"), arguments);
    if (!process.waitForFinished(toolTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool GSettingsTool::hasSchema(const QString& schema) const {
    return run({QStringLiteral("list-keys"), schema}).has_value();
}

std::optional<QString> GSettingsTool::value(const QString& schema, const QString& path, const QString& key) const {
    return run({QStringLiteral("get"), schemaAt(schema, path), key});
}

bool GSettingsTool::setValue(const QString& schema, const QString& path, const QString& key, const QString& value) {
    return run({QStringLiteral("set"), schemaAt(schema, path), key, value}).has_value();
}

bool GSettingsTool::reset(const QString& schema, const QString& path, const QString& key) {
    return run({QStringLiteral("reset"), schemaAt(schema, path), key}).has_value();
}

} // namespace quillo
