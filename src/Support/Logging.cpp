#include "Support/Logging.h"

#include "BuildInfo.h"

#define QUILLO_CATEGORY(name, component) Q_LOGGING_CATEGORY(name, QUILLO_BUNDLE_IDENTIFIER "." component)

QUILLO_CATEGORY(lcInputMonitoring, "InputMonitoring")
QUILLO_CATEGORY(lcTextInsertion, "TextInsertion")
QUILLO_CATEGORY(lcTextInputInspection, "TextInputInspection")
QUILLO_CATEGORY(lcPermissions, "Permissions")
QUILLO_CATEGORY(lcCloud, "Cloud")
QUILLO_CATEGORY(lcCloudHealth, "CloudHealth")
QUILLO_CATEGORY(lcPayment, "Payment")
QUILLO_CATEGORY(lcCorrectionHistory, "CorrectionHistory")
QUILLO_CATEGORY(lcDiagnostics, "Diagnostics")
QUILLO_CATEGORY(lcInsertionLatency, "InsertionLatency")
QUILLO_CATEGORY(lcCorrection, "Correction")
QUILLO_CATEGORY(lcAuth, "Auth")
QUILLO_CATEGORY(lcApp, "App")
QUILLO_CATEGORY(lcUpdates, "Updates")
