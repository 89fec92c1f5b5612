#pragma once

#include <QLoggingCategory>

// One category per component, named "<bundle identifier>.<Component>". Logged values never
// hold user text, tokens or e-mail addresses.
Q_DECLARE_LOGGING_CATEGORY(lcInputMonitoring)
Q_DECLARE_LOGGING_CATEGORY(lcTextInsertion)
Q_DECLARE_LOGGING_CATEGORY(lcTextInputInspection)
Q_DECLARE_LOGGING_CATEGORY(lcPermissions)
Q_DECLARE_LOGGING_CATEGORY(lcCloud)
Q_DECLARE_LOGGING_CATEGORY(lcCloudHealth)
Q_DECLARE_LOGGING_CATEGORY(lcPayment)
Q_DECLARE_LOGGING_CATEGORY(lcCorrectionHistory)
Q_DECLARE_LOGGING_CATEGORY(lcDiagnostics)
Q_DECLARE_LOGGING_CATEGORY(lcInsertionLatency)
Q_DECLARE_LOGGING_CATEGORY(lcCorrection)
Q_DECLARE_LOGGING_CATEGORY(lcAuth)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcUpdates)
