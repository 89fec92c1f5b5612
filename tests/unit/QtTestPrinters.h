#pragma once

#include <QString>
#include <ostream>

// Readable gtest output for Qt text; long texts are shortened to their start and length.
inline void PrintTo(const QString& text, std::ostream* os) {
    if (text.size() > 120) {
        *os << '"' << text.left(60).toUtf8().toStdString() << "\"... (" << text.size() << " units)";
        return;
    }
    *os << '"' << text.toUtf8().toStdString() << '"';
}
