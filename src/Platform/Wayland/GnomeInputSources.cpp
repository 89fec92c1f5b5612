#include "Platform/Wayland/GnomeInputSources.h"

#include "Platform/Wayland/GSettingsStore.h"

#include <QProcess>

namespace quillo {

namespace {

const QString sourcesKey = QStringLiteral("sources");
const QString mruSourcesKey = QStringLiteral("mru-sources");

} // namespace

GnomeInputSources::GnomeInputSources(QObject* parent) : QObject(parent) {
    GSettingsTool settings;
    sources_ = settings.value(schema, QString(), sourcesKey).value_or(QString());
    mruSources_ = settings.value(schema, QString(), mruSourcesKey).value_or(QString());
    monitor_ = new QProcess(this);
    connect(monitor_, &QProcess::readyReadStandardOutput, this, &GnomeInputSources::readMonitor);
    monitor_->start(QStringLiteral("gsettings"), {QStringLiteral("monitor"), schema});
}

GnomeInputSources::~GnomeInputSources() {
    if (monitor_->state() != QProcess::NotRunning) {
        monitor_->kill();
        monitor_->waitForFinished(1000);
    }
}

void GnomeInputSources::readMonitor() {
    pending_.append(monitor_->readAllStandardOutput());
    qsizetype end = 0;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pending_.left(end));
        pending_.remove(0, end + 1);
        // "mru-sources: [('xkb', 'fr'), ('xkb', 'us')]"
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0) continue;
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == sourcesKey) sources_ = value;
        else if (key == mruSourcesKey) mruSources_ = value;
    }
}

std::optional<QList<std::pair<QString, QString>>> GnomeInputSources::parsePairs(const QString& input) {
    QString text = input.trimmed();
    if (text.startsWith(QLatin1String("@a(ss)"))) text = text.mid(6).trimmed();
    if (!text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']'))) return std::nullopt;
    // Each pair is two strings in parentheses: read them as a string array per pair.
    QList<std::pair<QString, QString>> pairs;
    qsizetype at = 1;
    while (true) {
        const qsizetype open = text.indexOf(QLatin1Char('('), at);
        if (open < 0) break;
        // The closing parenthesis after the pair's second quoted string.
        qsizetype close = open + 1;
        bool inQuote = false;
        QChar quote;
        for (; close < text.size(); ++close) {
            const QChar c = text[close];
            if (inQuote) {
                if (c == QLatin1Char('\\')) ++close;
                else if (c == quote) inQuote = false;
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                inQuote = true;
                quote = c;
            } else if (c == QLatin1Char(')')) {
                break;
            }
        }
        if (close >= text.size()) return std::nullopt;
        const auto items =
            GVariantText::parseStringArray(QLatin1Char('[') + text.mid(open + 1, close - open - 1) + QLatin1Char(']'));
        if (!items || items->size() != 2) return std::nullopt;
        pairs.append({items->at(0), items->at(1)});
        at = close + 1;
    }
    return pairs;
}

std::optional<quint32> GnomeInputSources::activeGroup(const QString& sources, const QString& mruSources) {
    const auto all = parsePairs(sources);
    const auto recent = parsePairs(mruSources);
    if (!all || all->isEmpty()) return std::nullopt;
    if (!recent || recent->isEmpty()) return 0;
    // Mutter's keymap holds the keyboard layouts alone, in the order of the sources.
    QList<std::pair<QString, QString>> layouts;
    for (const auto& source : *all)
        if (source.first == QLatin1String("xkb")) layouts.append(source);
    const qsizetype index = layouts.indexOf(recent->first());
    if (index < 0) return std::nullopt;
    return static_cast<quint32>(index);
}

} // namespace quillo
