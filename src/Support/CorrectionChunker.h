#pragma once

#include "Support/CorrectionChunkingError.h"

#include <QString>
#include <QStringList>

namespace quillo {

// Cuts a text into chunks of at most `maximumCharacters` UTF-16 units whose concatenation is the
// text itself. Cuts prefer line ends, then whitespace or punctuation, and fall inside a word only
// when a stretch without breaks is longer than the limit. A grapheme cluster is never cut.
struct CorrectionChunker {
    qsizetype maximumCharacters = 9000;

    explicit CorrectionChunker(qsizetype maximumCharacters) : maximumCharacters(maximumCharacters) {}

    // Throws CorrectionChunkingError::characterExceedsLimit when one character is longer than the limit.
    QStringList chunks(const QString& text) const;
};

} // namespace quillo
