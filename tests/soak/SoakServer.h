#pragma once
// A quillo-cloud a soak runs against: started here on loopback with its test controls, a
// database in the run's folder (or a PostgreSQL database several instances share) and the run's
// certificate authority; its controls are posted over HTTPS like any client's requests, and its
// resident memory is read from /proc.
#include "Services/QtCloudHttpTransport.h"

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include <qcoro/qcorotask.h>

namespace quillo::soak {

class SoakServer {
public:
    struct Setup {
        QString binary, caDir, workDir, suggestionCache;
        int threads = 16;
        QString name = QStringLiteral("server"); // of its log file
        int port = 0;                            // 0: any free one, chosen at the first start
        // Empty: a SQLite file in the work folder.
        QString databaseUrl, databasePasswordFile;
        bool behindProxy = false; // a balancer on loopback names the clients
    };

    explicit SoakServer(Setup setup);
    ~SoakServer();

    // Starts the server and waits for its "listening on" line; the error, if any.
    std::optional<QString> start();
    // Starts it again after kill() without holding up the event loop (the clients go on meanwhile).
    QCoro::Task<std::optional<QString>> restart();
    // SIGTERM, then waits for a clean exit. Reports whether it exited with status 0.
    bool stop();
    // SIGKILL, as a crash of the machine or the OOM killer would end it; start() again reuses the port.
    void kill();
    // Between its "listening on" line and a kill or stop.
    bool isListening() const { return listening_ && process_.state() != QProcess::NotRunning; }
    int port() const { return port_; }
    int starts() const { return starts_; }

    qint64 pid() const { return process_.processId(); }
    QString endpoint() const; // .../api/correct
    QString caFile() const { return setup_.caDir + QStringLiteral("/ca.pem"); }
    QString databasePath() const { return setup_.workDir + QStringLiteral("/cloud.sqlite3"); }
    QString logPath() const { return setup_.workDir + QLatin1Char('/') + setup_.name + QStringLiteral(".log"); }

    // VmRSS of the server process in KiB, absent once it is gone.
    std::optional<qint64> residentKiB() const;
    static std::optional<qint64> residentKiBOf(qint64 pid);

    // POST /test/<name>; throws std::runtime_error unless the answer is 200.
    QCoro::Task<QJsonObject> control(QString name, QJsonObject body = {});

private:
    QStringList arguments();
    void launch();
    std::optional<QString> listening(const QByteArray& firstLine);

    Setup setup_;
    QProcess process_;
    // A new one after each restart: the old one's kept-alive connection died with the process.
    // The old ones stay, since a control may still be waiting on one.
    std::vector<std::unique_ptr<QtCloudHttpTransport>> transports_;
    int port_ = -1;
    int starts_ = 0;
    bool listening_ = false;
};

} // namespace quillo::soak
