#include "SoakBalancer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace quillo::soak {

SoakBalancer::SoakBalancer(Setup setup) : setup_(std::move(setup)) {}

SoakBalancer::~SoakBalancer() { stop(); }

int SoakBalancer::freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return -1;
    return probe.serverPort();
}

QByteArray SoakBalancer::config(int port, const QString& certificate, const QString& caFile,
                                const std::vector<int>& backendPorts) {
    // Health every second, out after two failures and back after one success, so that a killed
    // instance leaves the rotation within about two seconds. A request that could not reach an
    // instance, or got nothing back from one that died under it, goes to another: a correction
    // carries its own id, so sending it twice never charges twice.
    QByteArray text = QStringLiteral(R"(global
    maxconn 2000

defaults
    mode http
    option forwardfor
    timeout connect 2s
    timeout client 120s
    timeout server 120s
    timeout http-request 15s
    retries 2
    option redispatch 1
    retry-on conn-failure empty-response response-timeout

frontend quillo
    bind 127.0.0.1:%1 ssl crt %2
    default_backend instances

backend instances
    balance roundrobin
    option httpchk GET /api/correct?action=health
    http-check expect status 200
    default-server check inter 1s fall 2 rise 1 ssl verify required ca-file %3
)")
                          .arg(port)
                          .arg(certificate, caFile)
                          .toUtf8();
    int index = 0;
    for (int backend : backendPorts)
        text += QStringLiteral("    server instance%1 127.0.0.1:%2\n").arg(++index).arg(backend).toUtf8();
    return text;
}

std::optional<QString> SoakBalancer::start() {
    // HAProxy takes the certificate and its key from one file.
    const QString certificate = setup_.workDir + QStringLiteral("/haproxy.pem");
    {
        QFile cert(setup_.caDir + QStringLiteral("/server.pem")), key(setup_.caDir + QStringLiteral("/server.key"));
        QFile both(certificate);
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly) ||
            !both.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot make the balancer's certificate file %1").arg(certificate);
        both.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        both.write(cert.readAll() + '\n' + key.readAll());
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = freePort();
        QFile file(configPath());
        if (port_ < 0 || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write %1").arg(configPath());
        file.write(config(port_, certificate, QFileInfo(setup_.caDir + QStringLiteral("/ca.pem")).absoluteFilePath(),
                          setup_.backendPorts));
        file.close();
        process_.setStandardOutputFile(logPath(), QIODevice::Append);
        process_.setStandardErrorFile(logPath(), QIODevice::Append);
        // -db: in the foreground, without forking, so that this process owns it.
        process_.start(setup_.binary, {QStringLiteral("-db"), QStringLiteral("-f"), configPath()});
        if (!process_.waitForStarted(20000)) return QStringLiteral("cannot start %1").arg(setup_.binary);
        // It listens once its configuration is read; the port found free may have been taken since.
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
            if (probe.waitForConnected(500)) return std::nullopt;
            process_.waitForFinished(100);
        }
        stop();
    }
    QFile log(logPath());
    log.open(QIODevice::ReadOnly);
    return QStringLiteral("haproxy did not start: %1").arg(QString::fromUtf8(log.readAll()));
}

void SoakBalancer::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(20000)) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

QString SoakBalancer::endpoint() const { return QStringLiteral("https://127.0.0.1:%1/api/correct").arg(port_); }

} // namespace quillo::soak
