#pragma once

#include "Support/QuilloBundleInfo.h"
#include "Support/QuilloRuntimeConfiguration.h"

#include <QString>
#include <optional>

namespace quillo {

// Build facts read from the information table. Every operation re-reads the table it is
// given (the generated one by default); tests pass their own.
namespace QuilloAppEnvironment {

inline const QString defaultBundleIdentifier = QStringLiteral("com.quillo.app");
inline const QString defaultBuildChannel = QStringLiteral("production");

QuilloRuntimeConfiguration current(const QuilloInfoDictionary& info = QuilloBundleInfo::main());

// The value under `key` when it is a string.
std::optional<QString> string(const QuilloInfoDictionary& info, const QString& key);

QString displayName(const QuilloInfoDictionary& info = QuilloBundleInfo::main());

QString versionText(const QuilloInfoDictionary& info = QuilloBundleInfo::main());
QString versionText(const QString& version, const QString& build);

// "Quillo Test" for test builds, otherwise "Quillo".
QString dataFolderName(const QuilloInfoDictionary& info = QuilloBundleInfo::main());

// Where the application keeps its files: the user's data folder (or $QUILLO_DATA_HOME when
// set) / dataFolderName. Not created here.
QString applicationDataFolder(const QuilloInfoDictionary& info = QuilloBundleInfo::main());

} // namespace QuilloAppEnvironment

} // namespace quillo
