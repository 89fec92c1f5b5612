#pragma once

namespace quillo {

// Why a diagnostic log export failed; the error catalogue turns each case into a sentence.
enum class DiagnosticsFailure {
    permissionDenied,    // no permission, or a read-only volume
    diskFull,            // no space left
    locationUnavailable, // a missing file or folder
    unexpected,
};

// Classifies an errno value of a failed file operation.
DiagnosticsFailure diagnosticsFailureForPosixError(int error);

} // namespace quillo
