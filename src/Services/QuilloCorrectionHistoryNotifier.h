#pragma once

#include <QObject>

namespace quillo {

// The process-wide change notification of the correction history. Lives on the main thread.
class QuilloCorrectionHistoryNotifier : public QObject {
    Q_OBJECT
public:
    static QuilloCorrectionHistoryNotifier& shared();

    void post() { emit quilloCorrectionHistoryDidChange(); }

signals:
    void quilloCorrectionHistoryDidChange();

private:
    QuilloCorrectionHistoryNotifier() = default;
};

} // namespace quillo
