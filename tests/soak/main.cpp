// quillo_soak: many corrections through the real cloud client against a quillo-cloud with its
// fault injection on, then a check of the server's own ledger and memory. Prints a summary and
// exits 0 only when every rule held.
#include "SoakBalancer.h"
#include "SoakCorpus.h"
#include "SoakFaultSchedule.h"
#include "SoakLedgerAudit.h"
#include "SoakReport.h"
#include "SoakServer.h"
#include "SoakWorkload.h"

#include "Support/BlockingWait.h"
#include "Support/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

using namespace quillo;
using namespace quillo::soak;

namespace {

const char* const usage =
    "Usage: quillo_soak --server QUILLO_CLOUD --ca-dir DIR [--duration SECONDS] [--clients N] [--seed N]\n"
    "                   [--suggestion-cache PATH] [--memory-limit-mib MIB] [--warm-up SECONDS]\n"
    "                   [--json PATH] [--keep]\n"
    "                   [--postgres] [--instances N] [--balancer HAPROXY] [--kill-one]\n"
    "Runs corrections through the cloud client against a private quillo-cloud on loopback with\n"
    "its faults injected on a schedule, then checks the server's ledger and memory.\n"
    "--postgres: the servers share the PostgreSQL database named by QUILLO_TEST_DATABASE_URL and\n"
    "QUILLO_TEST_DATABASE_PASSWORD_FILE (tests/cloud/with-postgres sets them). --instances N (with\n"
    "--postgres): N servers behind HAProxy. --kill-one: the last instance is killed (SIGKILL) at\n"
    "two fifths of the run and started again a few seconds later.\n";

struct Options {
    QString server, caDir, suggestionCache, jsonPath;
    double duration = 180;
    int clients = 8;
    quint32 seed = 1;
    double memoryLimitMiB = 16;
    double warmUp = -1; // a quarter of the run, at least 5 s
    bool keep = false;
    QString databaseUrl, databasePasswordFile;
    int instances = 1;
    QString balancer = QStringLiteral("haproxy");
    bool killOne = false;
};

// The client's retry notes and refusals go to the log categories of the product; here they are
// counted instead of printed.
QHash<QString, qint64> clientNotes;
QtMessageHandler previousHandler = nullptr;

void countClientNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && QByteArray(context.category).startsWith("com.quillo")) {
        if (message.startsWith(QLatin1String("Cloud correction transport retry")))
            ++clientNotes[QStringLiteral("transport")];
        else if (message.startsWith(QLatin1String("Cloud correction still processing")))
            ++clientNotes[QStringLiteral("poll-425")];
        else if (message.startsWith(QLatin1String("Cloud correction safe HTTP retry")))
            ++clientNotes[QStringLiteral("safe-5xx")];
        return;
    }
    if (previousHandler) previousHandler(type, context, message);
}

void print(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Request bodies are made outside the coroutines: GCC 12 cannot keep a braced list of string
// literals in a coroutine frame.
QJsonObject balanceBody(const QString& email, double credits) {
    return QJsonObject{{"email", email}, {"balanceCredits", credits}};
}
QJsonObject accountBody(const SoakWorkload::Account& account) {
    return QJsonObject{{"email", account.email},
                       {"password", account.password},
                       {"balanceCredits", account.startCredits},
                       {"confirmed", true}};
}
QJsonObject indexWaitBody() { return QJsonObject{{"waitMs", 120000}}; }

QCoro::Task<> keepLowAccountsNearZero(SoakServer& server, std::vector<SoakWorkload::Account> accounts,
                                      const bool& running, quint32 seed) {
    std::mt19937 rng(seed * 31u + 7u);
    static const double choices[] = {0, 0.01, 0.015, 0.02, 0.03, 0.05};
    while (running) {
        co_await Clock::shared().sleep(2.0);
        if (!running) break;
        for (const auto& account : accounts)
            co_await server.control(QStringLiteral("balance"),
                                    balanceBody(account.email, choices[std::uniform_int_distribution<int>(0, 5)(rng)]));
    }
}

QCoro::Task<> sampleMemory(const SoakServer& server, std::vector<SoakMemorySample>& samples, const bool& running,
                           double startedAt) {
    Clock& clock = Clock::shared();
    while (running) {
        if (const auto kib = server.residentKiB()) samples.push_back({clock.uptimeSeconds() - startedAt, *kib});
        co_await clock.sleep(0.25);
    }
}

// The server's lease on a correction in progress, past which another instance releases it.
constexpr int kLeaseSeconds = 120;

QJsonObject clockStep(int seconds) {
    QJsonObject body;
    body.insert(QStringLiteral("advanceSeconds"), seconds);
    return body;
}

// Kills one instance mid-run as a crash would, then starts it again on its port; the balancer's
// health check takes it out of the rotation and back. What happened goes into `events`.
QCoro::Task<> killAndRestart(SoakServer* victim, double at, double downFor, const bool& running, double startedAt,
                             QStringList& events, QStringList& problems) {
    if (!victim) co_return;
    Clock& clock = Clock::shared();
    co_await clock.sleep(at);
    if (!running) co_return;
    victim->kill();
    const double killedAt = clock.uptimeSeconds() - startedAt;
    co_await clock.sleep(downFor);
    if (const auto error = co_await victim->restart()) {
        problems << QStringLiteral("the killed instance did not start again: %1").arg(*error);
        co_return;
    }
    events << QStringLiteral("killed instance on port %1 (SIGKILL) at %2 s, listening again at %3 s")
                  .arg(victim->port())
                  .arg(killedAt, 0, 'f', 1)
                  .arg(clock.uptimeSeconds() - startedAt, 0, 'f', 1);
}

QCoro::Task<int> runSoak(Options options, QString workDir) {
    Clock& clock = Clock::shared();
    SoakServer::Setup setup;
    setup.binary = options.server;
    setup.caDir = options.caDir;
    setup.workDir = workDir;
    setup.suggestionCache =
        options.suggestionCache.isEmpty() ? workDir + QStringLiteral("/suggestions.cache") : options.suggestionCache;
    setup.databaseUrl = options.databaseUrl;
    setup.databasePasswordFile = options.databasePasswordFile;
    setup.behindProxy = options.instances > 1;
    std::vector<std::unique_ptr<SoakServer>> servers;
    std::vector<int> ports;
    for (int i = 0; i < options.instances; ++i) {
        if (options.instances > 1) {
            setup.name = QStringLiteral("instance%1").arg(i + 1);
            setup.port = SoakBalancer::freePort();
            ports.push_back(setup.port);
        }
        servers.push_back(std::make_unique<SoakServer>(setup));
    }
    SoakServer& server = *servers.front(); // never killed: accounts, balances and memory
    // The first builds the suggestion index and its cache; the others then read the cache.
    for (auto& instance : servers) {
        if (const auto error = instance->start()) {
            print(QStringLiteral("soak: ") + *error);
            co_return 2;
        }
        const QJsonObject index = co_await instance->control(QStringLiteral("suggestion-index"), indexWaitBody());
        if (index.value(QStringLiteral("state")).toString() != QLatin1String("ready")) {
            print(QStringLiteral("soak: the server's suggestion index is not ready"));
            co_return 2;
        }
    }
    std::optional<SoakBalancer> balancer;
    if (options.instances > 1) {
        balancer.emplace(SoakBalancer::Setup{options.balancer, options.caDir, workDir, ports});
        if (const auto error = balancer->start()) {
            print(QStringLiteral("soak: ") + *error);
            co_return 2;
        }
    }
    const QString endpoint = balancer ? balancer->endpoint() : server.endpoint();

    SoakWorkload workload(endpoint, server.caFile(), SoakCorpus::make(options.seed), options.clients, options.seed);
    for (const auto& account : workload.accounts())
        co_await server.control(QStringLiteral("account"), accountBody(account));
    co_await workload.signIn();

    const qint64 clientKiBStart = SoakServer::residentKiBOf(0).value_or(0);
    bool running = true;
    std::vector<SoakMemorySample> memory;
    const double startedAt = clock.uptimeSeconds();
    std::vector<SoakServer*> instances;
    for (auto& instance : servers) instances.push_back(instance.get());
    SoakFaultSchedule faults(instances, options.seed);
    QStringList events, setupProblems;
    QCoro::Task<> sampling = sampleMemory(server, memory, running, startedAt);
    QCoro::Task<> injecting = faults.run();
    QCoro::Task<> topping = keepLowAccountsNearZero(server, workload.lowAccounts(), running, options.seed);
    SoakServer* victim = options.killOne && servers.size() > 1 ? servers.back().get() : nullptr;
    QCoro::Task<> killing =
        killAndRestart(victim, options.duration * 0.4, 3.0, running, startedAt, events, setupProblems);
    QCoro::Task<> working = workload.run();

    co_await clock.sleep(options.duration);
    workload.stop();
    faults.stop();
    co_await working; // every call in flight ends within its own deadline
    const double seconds = clock.uptimeSeconds() - startedAt;
    co_await injecting;
    running = false;
    co_await topping;
    co_await killing;
    if (victim) {
        // A correction the killed instance was working on keeps its reservation until its lease
        // runs out, when any instance's janitor gives it back: step past the lease and sweep now.
        co_await server.control(QStringLiteral("clock"), clockStep(kLeaseSeconds + 1));
        const QJsonObject swept = co_await server.control(QStringLiteral("recover-interrupted"));
        events << QStringLiteral("%1 correction(s) cut off by the kill released once their lease ran out")
                      .arg(swept.value(QStringLiteral("released")).toInt());
    }
    QJsonObject applied;
    for (auto& instance : servers) {
        if (!instance->isListening()) continue;
        const QJsonObject counts = co_await instance->control(QStringLiteral("fault-counts"));
        for (auto it = counts.begin(); it != counts.end(); ++it)
            applied.insert(it.key(), applied.value(it.key()).toInteger() + it.value().toInteger());
        co_await instance->control(QStringLiteral("reset"));
    }
    co_await sampling;
    if (const auto kib = server.residentKiB()) memory.push_back({clock.uptimeSeconds() - startedAt, *kib});
    if (balancer) balancer->stop();
    bool stoppedCleanly = true;
    for (auto& instance : servers) stoppedCleanly = instance->stop() && stoppedCleanly;

    SoakReport::Inputs inputs;
    inputs.seconds = seconds;
    inputs.clients = options.clients;
    inputs.seed = options.seed;
    inputs.calls = &workload.calls();
    inputs.clientRetries = clientNotes;
    inputs.faultsArmed = faults.armed();
    for (auto it = applied.begin(); it != applied.end(); ++it)
        inputs.faultsApplied.insert(it.key(), it.value().toInteger());
    inputs.audit =
        options.databaseUrl.isEmpty()
            ? SoakLedgerAudit::run(server.databasePath(), workload.calls())
            : SoakLedgerAudit::check(SoakLedgerRows::fromPostgres(options.databaseUrl, options.databasePasswordFile),
                                     workload.calls());
    inputs.audit.problems << setupProblems;
    inputs.setup << QStringLiteral("servers: %1 quillo-cloud on %2%3")
                        .arg(options.instances)
                        .arg(options.databaseUrl.isEmpty() ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"))
                        .arg(balancer ? QStringLiteral(" behind HAProxy") : QString());
    inputs.setup << events;
    inputs.memory = std::move(memory);
    inputs.warmUpSeconds = options.warmUp >= 0 ? options.warmUp : std::max(5.0, options.duration / 4);
    inputs.memoryGrowthLimitMiB = options.memoryLimitMiB;
    inputs.clientKiBStart = clientKiBStart;
    inputs.clientKiBEnd = SoakServer::residentKiBOf(0).value_or(0);
    inputs.serverStoppedCleanly = stoppedCleanly;
    const SoakReport report = SoakReport::make(inputs);
    for (const QString& line : report.lines) print(line);
    if (!options.jsonPath.isEmpty()) {
        QFile json(options.jsonPath);
        if (json.open(QIODevice::WriteOnly | QIODevice::Truncate))
            json.write(QJsonDocument(report.json).toJson(QJsonDocument::Indented));
    }
    co_return report.passed() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&]() -> QString { return i + 1 < arguments.size() ? arguments[++i] : QString(); };
        bool ok = true;
        if (a == QLatin1String("--help")) {
            std::fputs(usage, stdout);
            return 0;
        } else if (a == QLatin1String("--server")) options.server = value();
        else if (a == QLatin1String("--ca-dir")) options.caDir = value();
        else if (a == QLatin1String("--suggestion-cache")) options.suggestionCache = value();
        else if (a == QLatin1String("--json")) options.jsonPath = value();
        else if (a == QLatin1String("--duration")) options.duration = value().toDouble(&ok);
        else if (a == QLatin1String("--clients")) options.clients = value().toInt(&ok);
        else if (a == QLatin1String("--seed")) options.seed = value().toUInt(&ok);
        else if (a == QLatin1String("--memory-limit-mib")) options.memoryLimitMiB = value().toDouble(&ok);
        else if (a == QLatin1String("--warm-up")) options.warmUp = value().toDouble(&ok);
        else if (a == QLatin1String("--keep")) options.keep = true;
        else if (a == QLatin1String("--postgres")) {
            options.databaseUrl = qEnvironmentVariable("QUILLO_TEST_DATABASE_URL");
            options.databasePasswordFile = qEnvironmentVariable("QUILLO_TEST_DATABASE_PASSWORD_FILE");
            ok = !options.databaseUrl.isEmpty() && !options.databasePasswordFile.isEmpty();
        } else if (a == QLatin1String("--instances")) options.instances = value().toInt(&ok);
        else if (a == QLatin1String("--balancer")) options.balancer = value();
        else if (a == QLatin1String("--kill-one")) options.killOne = true;
        else ok = false;
        if (!ok) {
            std::fprintf(stderr, "quillo_soak: bad argument %s\n%s", qPrintable(a), usage);
            return 2;
        }
    }
    // Several instances share one database, which SQLite's single file is not made for.
    if (options.server.isEmpty() || options.caDir.isEmpty() || options.duration <= 0 || options.clients < 1 ||
        options.instances < 1 || options.instances > 8 || (options.instances > 1 && options.databaseUrl.isEmpty())) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (options.instances > 1 && !options.balancer.contains(QLatin1Char('/'))) {
        // Debian puts HAProxy in /usr/sbin, which an ordinary user's PATH may lack.
        QString found = QStandardPaths::findExecutable(options.balancer);
        if (found.isEmpty()) found = QStandardPaths::findExecutable(options.balancer, {QStringLiteral("/usr/sbin")});
        if (found.isEmpty()) {
            std::fprintf(stderr, "quillo_soak: %s is missing (scripts/setup installs haproxy)\n",
                         qPrintable(options.balancer));
            return 77;
        }
        options.balancer = found;
    }
    previousHandler = qInstallMessageHandler(countClientNotes);

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/quillo-soak-XXXXXX"));
    if (!work.isValid()) {
        std::fputs("quillo_soak: cannot make a work folder\n", stderr);
        return 2;
    }
    int status = 2;
    try {
        status = blockingWait(runSoak(options, work.path()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillo_soak: %s\n", e.what());
    }
    // A failed run keeps its database and server log for a look.
    if (options.keep || status != 0) {
        work.setAutoRemove(false);
        std::fprintf(stderr, "quillo_soak: the run's database and server log are in %s\n", qPrintable(work.path()));
    }
    return status;
}
