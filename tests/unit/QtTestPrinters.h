#pragma once

#include <QString>
#include <ostream>

// Readable gtest output for Qt text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toUtf8().toStdString() << '"';
}
