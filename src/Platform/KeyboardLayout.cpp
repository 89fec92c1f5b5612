#include "Platform/KeyboardLayout.h"

namespace quillo {

std::optional<quint16> KeyboardLayout::keyCode(QChar character) const {
    if (!isAvailable()) return std::nullopt;
    const QString wanted = QString(character).toLower();
    for (quint16 code = 0; code <= 127; ++code) {
        const auto typed = characters(code);
        if (!typed || typed->isEmpty()) continue;
        if (typed->toLower() == wanted) return code;
    }
    return std::nullopt;
}

} // namespace quillo
