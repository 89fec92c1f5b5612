#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <compare>
#include <optional>

namespace quillo {

// A release version as update feeds state it: dot-separated numbers ("1.10.2"), optionally
// followed by "-" and dot-separated pre-release identifiers ("2.0.0-beta.2") and by "+" build
// metadata, which does not take part in ordering. Numbers compare as numbers, missing trailing
// numbers count as zero ("1.2" == "1.2.0"), and a pre-release orders before its release.
struct UpdateVersion {
    QList<quint64> numbers;
    QStringList prerelease;

    static std::optional<UpdateVersion> parse(const QString& raw);
    // The leading run of dot-separated numbers of a free-form version such as a kernel release
    // ("6.1.0-18-amd64" -> 6.1.0); none when the text does not start with a digit.
    static std::optional<UpdateVersion> leadingNumbers(const QString& raw);

    std::strong_ordering operator<=>(const UpdateVersion& other) const;
    bool operator==(const UpdateVersion& other) const { return std::is_eq(*this <=> other); }
};

// A release as a whole: its version, then its build number to tell apart two builds of one
// version. Build numbers are decimal digits; an empty build number orders before any other.
namespace UpdateReleaseOrder {

std::strong_ordering compare(const UpdateVersion& version, const QString& build, const UpdateVersion& otherVersion,
                             const QString& otherBuild);
std::strong_ordering compareBuilds(const QString& build, const QString& otherBuild);
bool isBuildNumber(const QString& text);

} // namespace UpdateReleaseOrder

} // namespace quillo
