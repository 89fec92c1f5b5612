#pragma once

#include <QString>
#include <optional>

namespace quillo {

// Joins the chunks of one correction run in order, restoring each corrected chunk's edge white space.
struct CorrectionChunkAccumulator {
    QString combinedCorrection;
    bool receivedCorrection = false;
    bool failed = false;

    void reserve(qsizetype characters) { combinedCorrection.reserve(characters); }
    void appendUnchanged(const QString& chunk);
    void appendCorrection(const QString& corrected, const QString& chunk);
    // The joined text when at least one chunk was corrected and none failed.
    std::optional<QString> finalizedCorrection() const;
};

} // namespace quillo
