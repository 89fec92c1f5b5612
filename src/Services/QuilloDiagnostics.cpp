#include "Services/QuilloDiagnostics.h"

#include "Support/Clock.h"
#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"

#include <QLocale>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <variant>

namespace quillo::QuilloDiagnostics {

namespace {

struct PendingEvent {
    qint64 secondsSinceEpoch;
    QuilloDiagnosticEvent event;
    std::optional<QUuid> correlationID;
};

using Task = std::function<void(QuilloDiagnosticLogStore&)>;
using Item = std::variant<PendingEvent, Task>;

// The serial queue that owns the log file. Consecutive queued events are written in one
// read-append-rewrite cycle, so a burst costs one rewrite instead of one per event.
class Writer {
public:
    Writer() : store_(QuilloDiagnosticLogStore::standard()), sessionID_(QUuid::createUuid()) {
        thread_ = std::thread([this] { run(); });
        const QByteArray name = queueLabel().right(15).toUtf8();
        pthread_setname_np(thread_.native_handle(), name.constData());
    }

    ~Writer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    void enqueue(Item item) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
        }
        wake_.notify_one();
    }

    // Runs `task` on the writer after everything queued before it; rethrows its exception.
    void runSynchronously(const Task& task) {
        std::promise<void> done;
        auto finished = done.get_future();
        enqueue(Task([&](QuilloDiagnosticLogStore& store) {
            try {
                task(store);
                done.set_value();
            } catch (...) {
                done.set_exception(std::current_exception());
            }
        }));
        finished.get();
    }

    const QUuid& sessionID() const { return sessionID_; }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !items_.empty(); });
            if (items_.empty()) return; // stopping, everything written
            if (std::holds_alternative<Task>(items_.front())) {
                Task task = std::move(std::get<Task>(items_.front()));
                items_.pop_front();
                lock.unlock();
                task(store_);
                lock.lock();
                continue;
            }
            std::vector<PendingEvent> batch;
            while (!items_.empty() && std::holds_alternative<PendingEvent>(items_.front())) {
                batch.push_back(std::get<PendingEvent>(items_.front()));
                items_.pop_front();
            }
            lock.unlock();
            write(batch);
            lock.lock();
        }
    }

    void write(const std::vector<PendingEvent>& batch) {
        QList<QuilloDiagnosticRecord> records;
        records.reserve(static_cast<qsizetype>(batch.size()));
        for (const PendingEvent& pending : batch) {
            QuilloDiagnosticRecord record;
            record.timestamp = QDateTime::fromSecsSinceEpoch(pending.secondsSinceEpoch, Qt::UTC);
            record.sessionID = sessionID_;
            record.correlationID = pending.correlationID;
            record.event = pending.event;
            record.level = QuilloDiagnosticEvents::level(pending.event);
            record.appVersion = store_.appVersion;
            record.appBuild = store_.appBuild;
            record.osMajorVersion = store_.operatingSystemVersion.major;
            record.osMinorVersion = store_.operatingSystemVersion.minor;
            record.osPatchVersion = store_.operatingSystemVersion.patch;
            records.append(std::move(record));
        }
        try {
            store_.append(records);
        } catch (const std::exception&) {
            qCCritical(lcDiagnostics, "Diagnostic event persistence failed");
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> items_;
    bool stopping_ = false;
    QuilloDiagnosticLogStore store_; // touched only on the writer thread
    const QUuid sessionID_;
    std::thread thread_;
};

Writer& writer() {
    // The writer's destructor still writes queued events at exit, on its own thread. Statics are
    // destroyed in the reverse order of their construction, so everything that thread reads
    // (the logging category, the lookup tables) is built here first and outlives the writer.
    static const bool tablesReady = [] {
        lcDiagnostics();
        QuilloDiagnosticEvents::all();
        QuilloDiagnosticEvents::fromRawValue(QString());
        QuilloDiagnosticLevels::fromRawValue(QString());
        QuilloDiagnosticLogStore::safeVersion(QString());
        QuilloDiagnosticLogStore::exportHeader();
        OperatingSystemVersion::current();
        return true;
    }();
    Q_UNUSED(tablesReady);
    static Writer instance;
    return instance;
}

} // namespace

void record(QuilloDiagnosticEvent event, std::optional<QUuid> correlationID) {
    const char* name = QuilloDiagnosticEvents::rawName(event);
    switch (QuilloDiagnosticEvents::level(event)) {
    case QuilloDiagnosticLevel::info: qCInfo(lcDiagnostics, "Diagnostic event: %s", name); break;
    case QuilloDiagnosticLevel::notice: qCWarning(lcDiagnostics, "Diagnostic event: %s", name); break;
    case QuilloDiagnosticLevel::error: qCCritical(lcDiagnostics, "Diagnostic event: %s", name); break;
    }
    const qint64 seconds = Clock::shared().now().toSecsSinceEpoch();
    writer().enqueue(PendingEvent{seconds, event, correlationID});
}

QString suggestedExportFilename() {
    const QDateTime local = Clock::shared().now().toLocalTime();
    return QStringLiteral("Quillo-Diagnostics-") + QLocale::c().toString(local, QStringLiteral("yyyy-MM-dd")) +
           QStringLiteral(".txt");
}

void exportTo(const QString& path) {
    writer().runSynchronously([&](QuilloDiagnosticLogStore& store) {
        const QByteArray data = store.exportData();
        QuilloDiagnosticLogStore::writeAtomically(path, data, 0644, true);
    });
}

void flush() {
    writer().runSynchronously([](QuilloDiagnosticLogStore&) {});
}

QUuid sessionID() { return writer().sessionID(); }

QString queueLabel() { return QuilloAppEnvironment::current().bundleIdentifier + QStringLiteral(".diagnostics"); }

QuilloDiagnosticLogStore store() {
    QuilloDiagnosticLogStore copy;
    writer().runSynchronously([&](QuilloDiagnosticLogStore& current) { copy = current; });
    return copy;
}

QuilloDiagnosticLogStore replaceStore(const QuilloDiagnosticLogStore& replacement) {
    QuilloDiagnosticLogStore previous;
    writer().runSynchronously([&](QuilloDiagnosticLogStore& current) {
        previous = current;
        current = replacement;
    });
    return previous;
}

} // namespace quillo::QuilloDiagnostics
