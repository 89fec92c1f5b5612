#pragma once

// The diagnostic log in one include.
#include "Services/QuilloDiagnosticEvent.h"
#include "Services/QuilloDiagnosticLevel.h"
#include "Services/QuilloDiagnosticLogStore.h"
#include "Services/QuilloDiagnosticRecord.h"
#include "Services/QuilloDiagnostics.h"
#include "Support/DiagnosticsFailure.h"
