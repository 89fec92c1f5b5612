#pragma once

#include "Models/CorrectionModels.h"
#include "Support/Cancellation.h"

#include <QString>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

// The one operation the correction pipeline needs from a cloud correction client.
// Called on the main thread, once per non-blank chunk, strictly one at a time.
class CloudCorrectionProviding {
public:
    virtual ~CloudCorrectionProviding() = default;

    // The corrected chunk with the routing, models and charge the service reported; none when the
    // service gave no usable correction. Throws the client's errors; `token` ends its waits early
    // (a cancelled call throws CancellationError).
    virtual QCoro::Task<std::optional<QuilloCorrectionResult>> correctText(QString text, QString mode,
                                                                           CloudCorrectionModel cloudModel,
                                                                           CorrectionWritingMode writingMode,
                                                                           CancellationToken token) = 0;
};

} // namespace quillo
