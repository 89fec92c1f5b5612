#include "Support/UpdateVersion.h"

#include <algorithm>

namespace quillo {

namespace {

bool allDigits(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<quint64> number(QStringView text) {
    // Twenty digits can overflow; no real version needs that many.
    if (!allDigits(text) || text.size() > 19) return std::nullopt;
    return text.toULongLong();
}

bool isIdentifier(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-';
    });
}

// Pre-release identifiers: numeric ones compare as numbers and before alphanumeric ones.
std::strong_ordering compareIdentifiers(const QString& a, const QString& b) {
    const bool aNumeric = allDigits(a), bNumeric = allDigits(b);
    if (aNumeric && bNumeric) {
        // Compared as digit strings, so that any length works; leading zeros do not count.
        const auto stripped = [](const QString& s) {
            qsizetype i = 0;
            while (i + 1 < s.size() && s[i] == u'0') ++i;
            return s.mid(i);
        };
        const QString sa = stripped(a), sb = stripped(b);
        if (sa.size() != sb.size()) return sa.size() <=> sb.size();
        return QString::compare(sa, sb) <=> 0;
    }
    if (aNumeric != bNumeric) return aNumeric ? std::strong_ordering::less : std::strong_ordering::greater;
    return QString::compare(a, b, Qt::CaseSensitive) <=> 0;
}

} // namespace

std::optional<UpdateVersion> UpdateVersion::parse(const QString& raw) {
    QString text = raw.trimmed();
    if (const qsizetype plus = text.indexOf(u'+'); plus >= 0) {
        // Build metadata does not order, but it must still be plain identifiers.
        for (const QString& identifier : text.mid(plus + 1).split(u'.'))
            if (!isIdentifier(identifier)) return std::nullopt;
        text.truncate(plus);
    }
    QString pre;
    if (const qsizetype dash = text.indexOf(u'-'); dash >= 0) {
        pre = text.mid(dash + 1);
        text.truncate(dash);
        if (pre.isEmpty()) return std::nullopt;
    }
    UpdateVersion version;
    for (const QString& part : text.split(u'.')) {
        const auto value = number(part);
        if (!value) return std::nullopt;
        version.numbers.append(*value);
    }
    if (!pre.isEmpty()) {
        for (const QString& identifier : pre.split(u'.')) {
            if (!isIdentifier(identifier)) return std::nullopt;
            version.prerelease.append(identifier);
        }
    }
    return version;
}

std::optional<UpdateVersion> UpdateVersion::leadingNumbers(const QString& raw) {
    const QString text = raw.trimmed();
    UpdateVersion version;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i;
        while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128) ++end;
        if (end == i) break;
        const auto value = number(QStringView(text).mid(i, end - i));
        if (!value) return std::nullopt;
        version.numbers.append(*value);
        if (end >= text.size() || text[end] != u'.') break;
        i = end + 1;
    }
    if (version.numbers.isEmpty()) return std::nullopt;
    return version;
}

std::strong_ordering UpdateVersion::operator<=>(const UpdateVersion& other) const {
    const qsizetype count = std::max(numbers.size(), other.numbers.size());
    for (qsizetype i = 0; i < count; ++i) {
        const quint64 a = i < numbers.size() ? numbers[i] : 0, b = i < other.numbers.size() ? other.numbers[i] : 0;
        if (a != b) return a <=> b;
    }
    // A pre-release comes before the release itself.
    if (prerelease.isEmpty() != other.prerelease.isEmpty())
        return prerelease.isEmpty() ? std::strong_ordering::greater : std::strong_ordering::less;
    const qsizetype shared = std::min(prerelease.size(), other.prerelease.size());
    for (qsizetype i = 0; i < shared; ++i) {
        if (const auto order = compareIdentifiers(prerelease[i], other.prerelease[i]); std::is_neq(order)) return order;
    }
    return prerelease.size() <=> other.prerelease.size();
}

namespace UpdateReleaseOrder {

bool isBuildNumber(const QString& text) { return allDigits(text); }

std::strong_ordering compareBuilds(const QString& build, const QString& otherBuild) {
    if (build.isEmpty() || otherBuild.isEmpty()) return !build.isEmpty() <=> !otherBuild.isEmpty();
    return compareIdentifiers(build, otherBuild);
}

std::strong_ordering compare(const UpdateVersion& version, const QString& build, const UpdateVersion& otherVersion,
                             const QString& otherBuild) {
    if (const auto order = version <=> otherVersion; std::is_neq(order)) return order;
    return compareBuilds(build, otherBuild);
}

} // namespace UpdateReleaseOrder

} // namespace quillo
