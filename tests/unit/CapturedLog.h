#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Collects the log lines of one category while in scope (main thread only).
class CapturedLog {
public:
    struct Line {
        QtMsgType type;
        QString message;
    };

    explicit CapturedLog(const char* category) : category_(category) {
        active() = this;
        previous_ = qInstallMessageHandler(&CapturedLog::handle);
    }
    ~CapturedLog() {
        qInstallMessageHandler(previous_);
        active() = nullptr;
    }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    const QList<Line>& lines() const { return lines_; }
    QStringList messages() const {
        QStringList list;
        for (const auto& line : lines_) list << line.message;
        return list;
    }
    void clear() { lines_.clear(); }

private:
    static CapturedLog*& active() {
        static CapturedLog* current = nullptr;
        return current;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        CapturedLog* self = active();
        if (self && context.category && QByteArray(context.category).endsWith(self->category_))
            self->lines_.append({type, message});
    }

    QByteArray category_;
    QList<Line> lines_;
    QtMessageHandler previous_ = nullptr;
};
