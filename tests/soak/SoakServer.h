#pragma once
// The quillo-cloud a soak runs against: started here on loopback with its test controls, a
// database in the run's folder and the run's certificate authority; its controls are posted over
// HTTPS like any client's requests, and its resident memory is read from /proc.
#include "Services/QtCloudHttpTransport.h"

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo::soak {

class SoakServer {
public:
    struct Setup {
        QString binary, caDir, workDir, suggestionCache;
        int threads = 16;
    };

    explicit SoakServer(Setup setup);
    ~SoakServer();

    // Starts the server and waits for its "listening on" line; the error, if any.
    std::optional<QString> start();
    // SIGTERM, then waits for a clean exit. Reports whether it exited with status 0.
    bool stop();

    qint64 pid() const { return process_.processId(); }
    QString endpoint() const; // .../api/correct
    QString caFile() const { return setup_.caDir + QStringLiteral("/ca.pem"); }
    QString databasePath() const { return setup_.workDir + QStringLiteral("/cloud.sqlite3"); }
    QString logPath() const { return setup_.workDir + QStringLiteral("/server.log"); }

    // VmRSS of the server process in KiB, absent once it is gone.
    std::optional<qint64> residentKiB() const;
    static std::optional<qint64> residentKiBOf(qint64 pid);

    // POST /test/<name>; throws std::runtime_error unless the answer is 200.
    QCoro::Task<QJsonObject> control(QString name, QJsonObject body = {});

private:
    Setup setup_;
    QProcess process_;
    QtCloudHttpTransport transport_;
    int port_ = -1;
};

} // namespace quillo::soak
