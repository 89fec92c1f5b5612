#include "SoakServer.h"

#include "Support/Clock.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <stdexcept>

namespace quillo::soak {

SoakServer::SoakServer(Setup setup) : setup_(std::move(setup)) {}

SoakServer::~SoakServer() { stop(); }

QStringList SoakServer::arguments() {
    if (port_ < 0) port_ = setup_.port;
    transports_.push_back(std::make_unique<QtCloudHttpTransport>(QStringList{caFile()}));
    QStringList arguments{
        QStringLiteral("--port"),
        QString::number(port_),
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
    if (setup_.databaseUrl.isEmpty()) arguments << QStringLiteral("--db") << databasePath();
    else
        arguments << QStringLiteral("--database") << setup_.databaseUrl << QStringLiteral("--database-password-file")
                  << setup_.databasePasswordFile;
    if (setup_.behindProxy) arguments << QStringLiteral("--trusted-proxy") << QStringLiteral("loopback");
    return arguments;
}

std::optional<QString> SoakServer::listening(const QByteArray& firstLine) {
    const auto match = QRegularExpression(QStringLiteral("^listening on https://127\\.0\\.0\\.1:(\\d+)"))
                           .match(QString::fromUtf8(firstLine));
    if (!match.hasMatch()) {
        QFile log(logPath());
        log.open(QIODevice::ReadOnly);
        stop();
        return QStringLiteral("quillo-cloud did not start: %1").arg(QString::fromUtf8(log.readAll()));
    }
    port_ = match.captured(1).toInt();
    listening_ = true;
    return std::nullopt;
}

void SoakServer::launch() {
    const QStringList args = arguments();
    ++starts_;
    // A restart after a kill writes on below what the killed process left.
    process_.setStandardErrorFile(logPath(), QIODevice::Append);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(setup_.binary, args, QIODevice::ReadOnly);
}

std::optional<QString> SoakServer::start() {
    launch();
    if (!process_.waitForStarted(20000)) return QStringLiteral("cannot start %1").arg(setup_.binary);
    QByteArray line;
    while (!line.contains('\n')) {
        if (!process_.waitForReadyRead(60000)) break;
        line += process_.readAllStandardOutput();
    }
    return listening(line);
}

QCoro::Task<std::optional<QString>> SoakServer::restart() {
    launch();
    Clock& clock = Clock::shared();
    const double deadline = clock.uptimeSeconds() + 60;
    QByteArray line;
    while (!line.contains('\n') && clock.uptimeSeconds() < deadline &&
           (process_.state() != QProcess::NotRunning || process_.bytesAvailable() > 0)) {
        co_await clock.sleep(0.05);
        line += process_.readAllStandardOutput();
    }
    co_return listening(line);
}

void SoakServer::kill() {
    listening_ = false;
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(30000);
}

bool SoakServer::stop() {
    listening_ = false;
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
    CloudHttpResponse response;
    try {
        response = co_await transports_.back()->send(std::move(request), {});
    } catch (const NetworkError& e) {
        throw std::runtime_error(QStringLiteral("control %1 on port %2: %3")
                                     .arg(name)
                                     .arg(port_)
                                     .arg(networkErrorCodeName(e.code))
                                     .toStdString());
    }
    if (response.status != 200)
        throw std::runtime_error(QStringLiteral("control %1 answered %2: %3")
                                     .arg(name)
                                     .arg(response.status)
                                     .arg(QString::fromUtf8(response.body))
                                     .toStdString());
    co_return QJsonDocument::fromJson(response.body).object();
}

} // namespace quillo::soak
