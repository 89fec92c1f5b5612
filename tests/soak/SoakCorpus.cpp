#include "SoakCorpus.h"

#include <QStringList>
#include <random>

namespace quillo::soak::SoakCorpus {

namespace {

const char* const sentences[] = {
    "i recieve teh letter yesterday and definately agree with it.",
    "we could of gone to the the park , but it was raining .",
    "their going to beleive it when they see it.",
    "a apple a day keeps the docter away.",
    "please send the report to anna@example.com before friday .",
    "in order to finish , we need more tiem.",
    "she said she would definately come , but she didnt.",
    "Café prices went up \u2014 the menu now says 4 \u20ac for a latte \U0001F600 .",
    "check https://example.com/path?q=teh for teh details.",
    "i think its a good idea to seperate the two parts.",
    "the comittee will adress the issue tomorow.",
    "it occured  twice ,  but noone noticed.",
    "#release and @maria stay as they are , but teh rest is fixd.",
    "the file lives in /usr/share/doc and `teh code` stays too.",
    "\U0001F680 launch day : evrything is redy \U0001F389 .",
};
constexpr int sentenceCount = static_cast<int>(sizeof sentences / sizeof sentences[0]);

QString sentence(std::mt19937& rng) {
    return QString::fromUtf8(sentences[std::uniform_int_distribution<int>(0, sentenceCount - 1)(rng)]);
}

// Sentences joined by spaces and now and then a line break or an indented line, up to `units`.
QString paragraphOf(std::mt19937& rng, qsizetype units) {
    QString text;
    for (;;) {
        QString next = sentence(rng);
        const int joint = std::uniform_int_distribution<int>(0, 9)(rng);
        const QString separator = text.isEmpty() ? QString()
                                  : joint == 0   ? QStringLiteral("\n\n    ")
                                  : joint < 3    ? QStringLiteral("\n")
                                                 : QStringLiteral(" ");
        if (text.size() + separator.size() + next.size() > units) break;
        text += separator + next;
    }
    return text;
}

} // namespace

std::vector<SoakText> make(std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<SoakText> texts;
    // Each short text is one or two sentences; the pool is small so that replays and repeats
    // meet the same texts often.
    for (int i = 0; i < 32; ++i) {
        QString text = sentence(rng);
        if (i % 2) text += QLatin1Char(' ') + sentence(rng);
        texts.push_back({text, true});
    }
    for (int i = 0; i < 12; ++i)
        texts.push_back({paragraphOf(rng, std::uniform_int_distribution<int>(600, 3000)(rng)), false});
    // Near the 9000-unit chunk: 17 or 18 price blocks.
    for (int i = 0; i < 4; ++i)
        texts.push_back({paragraphOf(rng, std::uniform_int_distribution<int>(8400, 9000)(rng)), false});
    return texts;
}

std::int64_t costMicro(qsizetype utf16Units, bool veryVeryFast) {
    if (utf16Units <= 0) return 0;
    const std::int64_t blocks = (utf16Units + 499) / 500;
    return blocks * (veryVeryFast ? 18500 : 10000);
}

} // namespace quillo::soak::SoakCorpus
