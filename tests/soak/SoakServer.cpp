#include "SoakServer.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <stdexcept>

namespace quillo::soak {

SoakServer::SoakServer(Setup setup)
    : setup_(std::move(setup)), transport_(QStringList{setup_.caDir + QStringLiteral("/ca.pem")}) {}

SoakServer::~SoakServer() { stop(); }

std::optional<QString> SoakServer::start() {
    const QStringList arguments{
        QStringLiteral("--port"),
        QStringLiteral("0"),
        QStringLiteral("--db"),
        databasePath(),
        QStringLiteral("--outbox"),
        setup_.workDir + QStringLiteral("/outbox"),
        QStringLiteral("--cert"),
        setup_.caDir + QStringLiteral("/server.pem"),
        QStringLiteral("--key"),
        setup_.caDir + QStringLiteral("/server.key"),
        QStringLiteral("--threads"),
        QString::number(setup_.threads),
        QStringLiteral("--test-controls"),
        QStringLiteral("--log-level"),
        QStringLiteral("warn"),
        QStringLiteral("--suggestion-cache"),
        setup_.suggestionCache,
        // No time limit on Hunspell's search, so that the same text always gets the same answer
        // however loaded the machine is.
        QStringLiteral("--suggestion-fallback-ms"),
        QStringLiteral("60000"),
    };
    process_.setStandardErrorFile(logPath());
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(setup_.binary, arguments, QIODevice::ReadOnly);
    if (!process_.waitForStarted(20000)) return QStringLiteral("cannot start %1").arg(setup_.binary);
    QByteArray line;
    while (!line.contains('\n')) {
        if (!process_.waitForReadyRead(60000)) break;
        line += process_.readAllStandardOutput();
    }
    const auto match = QRegularExpression(QStringLiteral("^listening on https://127\\.0\\.0\\.1:(\\d+)"))
                           .match(QString::fromUtf8(line));
    if (!match.hasMatch()) {
        QFile log(logPath());
        log.open(QIODevice::ReadOnly);
        stop();
        return QStringLiteral("quillo-cloud did not start: %1").arg(QString::fromUtf8(log.readAll()));
    }
    port_ = match.captured(1).toInt();
    return std::nullopt;
}

bool SoakServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    process_.terminate();
    if (!process_.waitForFinished(60000)) {
        process_.kill();
        process_.waitForFinished(10000);
        return false;
    }
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

QString SoakServer::endpoint() const { return QStringLiteral("https://127.0.0.1:%1/api/correct").arg(port_); }

std::optional<qint64> SoakServer::residentKiB() const {
    if (process_.state() == QProcess::NotRunning) return std::nullopt;
    return residentKiBOf(pid());
}

std::optional<qint64> SoakServer::residentKiBOf(qint64 pid) {
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("VmRSS:")) continue;
        bool ok = false;
        const qint64 kib = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
        if (ok) return kib;
    }
    return std::nullopt;
}

QCoro::Task<QJsonObject> SoakServer::control(QString name, QJsonObject body) {
    CloudHttpRequest request;
    request.method = "POST";
    request.url = QUrl(QStringLiteral("https://127.0.0.1:%1/test/%2").arg(port_).arg(name));
    request.headers = {{"Content-Type", "application/json"}, {"X-Quillo-Test-Control", "1"}};
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    request.timeoutSeconds = 150; // the suggestion index may take a while on a first run
    const CloudHttpResponse response = co_await transport_.send(std::move(request), {});
    if (response.status != 200)
        throw std::runtime_error(QStringLiteral("control %1 answered %2: %3")
                                     .arg(name)
                                     .arg(response.status)
                                     .arg(QString::fromUtf8(response.body))
                                     .toStdString());
    co_return QJsonDocument::fromJson(response.body).object();
}

} // namespace quillo::soak
