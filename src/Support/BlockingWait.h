#pragma once

#include "Support/TaskOutcome.h"

#include <QEventLoop>

#include <qcoro/qcorotask.h>

namespace quillo {

// Runs a nested event loop until `task` ends and returns its value or rethrows its error.
// For command-line tools, benchmarks and process tests; the app itself never blocks.
// (QCoro::waitFor does not carry an error out of the task.)
template <typename T> T blockingWait(QCoro::Task<T>&& task) {
    QEventLoop loop;
    auto outcome = observe<T>(std::move(task), [&loop](const TaskOutcome<T>&) { loop.quit(); });
    if (!outcome->finished) loop.exec();
    outcome->rethrowIfFailed();
    if constexpr (!std::is_void_v<T>) return std::move(*outcome->value);
}

} // namespace quillo
