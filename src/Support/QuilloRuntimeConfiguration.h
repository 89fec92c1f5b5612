#pragma once

#include <QString>

namespace quillo {

// Which application this is and which channel it was built for.
struct QuilloRuntimeConfiguration {
    QString bundleIdentifier;
    QString buildChannel;

    bool isTestBuild() const {
        return buildChannel == QLatin1String("test") || bundleIdentifier == QLatin1String("com.quillo.app.test");
    }
    bool operator==(const QuilloRuntimeConfiguration&) const = default;
};

} // namespace quillo
