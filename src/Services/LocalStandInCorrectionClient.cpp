#include "Services/LocalStandInCorrectionClient.h"

#include <QHash>

namespace quillo {

namespace {

const QHash<QString, QString>& misspellings() {
    static const QHash<QString, QString> table{
        {QStringLiteral("teh"), QStringLiteral("the")},
        {QStringLiteral("recieve"), QStringLiteral("receive")},
        {QStringLiteral("recieved"), QStringLiteral("received")},
        {QStringLiteral("definately"), QStringLiteral("definitely")},
        {QStringLiteral("seperate"), QStringLiteral("separate")},
        {QStringLiteral("occured"), QStringLiteral("occurred")},
        {QStringLiteral("untill"), QStringLiteral("until")},
        {QStringLiteral("wich"), QStringLiteral("which")},
        {QStringLiteral("adress"), QStringLiteral("address")},
        {QStringLiteral("accomodate"), QStringLiteral("accommodate")},
        {QStringLiteral("acheive"), QStringLiteral("achieve")},
        {QStringLiteral("beleive"), QStringLiteral("believe")},
        {QStringLiteral("goverment"), QStringLiteral("government")},
        {QStringLiteral("tommorow"), QStringLiteral("tomorrow")},
        {QStringLiteral("wierd"), QStringLiteral("weird")},
        {QStringLiteral("thier"), QStringLiteral("their")},
    };
    return table;
}

bool isWordCharacter(QChar c) { return c.isLetterOrNumber() || c.isMark() || c == u'\''; }

// Carries the case of `original` over to `replacement`: all capitals, a leading capital, or none.
QString withCaseOf(const QString& original, const QString& replacement) {
    bool allUpper = original.size() > 1;
    for (QChar c : original)
        if (c.isLetter() && !c.isUpper()) allUpper = false;
    if (allUpper) return replacement.toUpper();
    if (original.at(0).isUpper()) {
        QString result = replacement;
        result[0] = result.at(0).toUpper();
        return result;
    }
    return replacement;
}

QString correctedWord(const QString& word) {
    if (word == QStringLiteral("i")) return QStringLiteral("I");
    const QString lower = word.toLower();
    const auto it = misspellings().constFind(lower);
    if (it == misspellings().constEnd()) return word;
    // Only plain lower case, a leading capital or all capitals; odd mixes are left alone.
    const bool plain = word == lower;
    const bool leadingCapital = word.at(0).isUpper() && QStringView(word).sliced(1) == QStringView(lower).sliced(1);
    const bool allCapitals = word == word.toUpper();
    if (!plain && !leadingCapital && !allCapitals) return word;
    return withCaseOf(word, it.value());
}

} // namespace

QString LocalStandInCorrectionClient::correctedText(const QString& text) {
    QString result;
    result.reserve(text.size() + 16);
    const qsizetype length = text.size();
    qsizetype i = 0;
    while (i < length) {
        if (!isWordCharacter(text.at(i))) {
            const qsizetype start = i;
            while (i < length && !isWordCharacter(text.at(i))) ++i;
            result.append(QStringView(text).sliced(start, i - start));
            continue;
        }
        const qsizetype start = i;
        while (i < length && isWordCharacter(text.at(i))) ++i;
        const QString word = text.sliced(start, i - start);
        result.append(correctedWord(word));
    }
    return result;
}

double LocalStandInCorrectionClient::charge(qsizetype characters, CloudCorrectionModel model) {
    const qsizetype started = std::max<qsizetype>(1, (characters + 999) / 1000);
    const double factor = model == CloudCorrectionModel::veryVeryFast ? 1.85 : 1.0;
    return static_cast<double>(started) * factor;
}

QCoro::Task<std::optional<QuilloCorrectionResult>>
LocalStandInCorrectionClient::correctText(QString text, QString mode, CloudCorrectionModel cloudModel,
                                          CorrectionWritingMode writingMode, CancellationToken token) {
    token.throwIfCancelled();
    ++requestCount_;
    QuilloCorrectionResult result;
    result.correction = correctedText(text);
    result.routing = QuilloCorrectionRouting{cloudModel, cloudModel, cloudModel};
    result.usedModels = {cloudModel};
    result.chargedCredits = charge(text.size(), cloudModel);
    co_return result;
}

} // namespace quillo
