#pragma once

#include <QString>

#include <memory>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class BreakIterator;
class UnicodeString;
U_NAMESPACE_END

namespace quillo {

// Steps through user-perceived characters: Unicode's extended grapheme clusters, untailored
// (ICU's character break iterator with the root locale). Qt's QTextBoundaryFinder tailors some
// scripts by their surroundings and breaks inside emoji sequences next to them (a flag after a
// heart, a skin tone after Thai text), which would let a cut or a count split a character.
class GraphemeBoundaries {
public:
    // `text` must outlive this object and stay unchanged.
    explicit GraphemeBoundaries(const QString& text);
    ~GraphemeBoundaries();
    GraphemeBoundaries(const GraphemeBoundaries&) = delete;
    GraphemeBoundaries& operator=(const GraphemeBoundaries&) = delete;

    // The first boundary after `position`, or the text's length when there is none.
    qsizetype following(qsizetype position) const;
    // The last boundary before `position`, or 0 when there is none.
    qsizetype preceding(qsizetype position) const;

    // The number of user-perceived characters of a text.
    static qsizetype count(const QString& text);

private:
    qsizetype length_;
    std::unique_ptr<icu::UnicodeString> alias_;
    std::unique_ptr<icu::BreakIterator> iterator_;
};

} // namespace quillo
