#pragma once
// The load balancer in front of several quillo-cloud instances in a soak: HAProxy from the
// system, terminating TLS with the run's certificate on a loopback port and passing each request
// on over TLS to an instance that answers its health check, as a self-hosted deployment does.
#include <QProcess>
#include <QString>
#include <optional>
#include <vector>

namespace quillo::soak {

class SoakBalancer {
public:
    struct Setup {
        QString binary = QStringLiteral("haproxy");
        QString caDir, workDir;
        std::vector<int> backendPorts;
    };

    explicit SoakBalancer(Setup setup);
    ~SoakBalancer();
    SoakBalancer(const SoakBalancer&) = delete;
    SoakBalancer& operator=(const SoakBalancer&) = delete;

    // Writes its configuration, starts it and waits until it takes connections; the error, if any.
    std::optional<QString> start();
    void stop();

    QString endpoint() const; // .../api/correct
    QString configPath() const { return setup_.workDir + QStringLiteral("/haproxy.cfg"); }
    QString logPath() const { return setup_.workDir + QStringLiteral("/haproxy.log"); }

    // The configuration for these ports, as a self-hoster's would read apart from the test paths.
    static QByteArray config(int port, const QString& certificate, const QString& caFile,
                             const std::vector<int>& backendPorts);
    // A free loopback port, or -1.
    static int freePort();

private:
    Setup setup_;
    QProcess process_;
    int port_ = -1;
};

} // namespace quillo::soak
