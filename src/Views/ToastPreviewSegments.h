#pragma once

#include "Views/ToastPreviewSegment.h"

#include <QList>
#include <QString>

namespace quillo {

namespace ToastPreviewSegments {
// Which parts of `corrected` differ from `original`. The one place the toast asks for the
// change list, so the word diff can be swapped without touching the views.
QList<ToastPreviewSegment> segments(const QString& original, const QString& corrected);
} // namespace ToastPreviewSegments

} // namespace quillo
