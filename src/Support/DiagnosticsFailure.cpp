#include "Support/DiagnosticsFailure.h"

#include <cerrno>

namespace quillo {

DiagnosticsFailure diagnosticsFailureForPosixError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return DiagnosticsFailure::permissionDenied;
    case ENOSPC:
    case EDQUOT: return DiagnosticsFailure::diskFull;
    case ENOENT:
    case ENOTDIR: return DiagnosticsFailure::locationUnavailable;
    default: return DiagnosticsFailure::unexpected;
    }
}

} // namespace quillo
