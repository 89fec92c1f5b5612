#pragma once

#include <QList>
#include <QString>

namespace quillo {

// One run of the preview text; joined in order the runs give the corrected text back.
struct ToastPreviewSegment {
    QString text;
    bool isChanged = false;
    bool operator==(const ToastPreviewSegment&) const = default;
};

} // namespace quillo
