// Cost of the cloud client: per correction request on the client side (build the request, send
// it, parse the answer) with a scripted answer and against a quillo-cloud on loopback, and the
// end-to-end time of correcting a 20,000-character text (three chunks) with quillo-correct
// compared with the time the server itself spent on those requests (its request log).
#include "Services/CloudPasswordSignIn.h"
#include "Services/CorrectionPipeline.h"
#include "Services/FixedSessionProvider.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloCloudService.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/BlockingWait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

using namespace quillo;

namespace {

const QString kEmail = QStringLiteral("bench@localhost");
const QString kPassword = QStringLiteral("bench-password");

// A private quillo-cloud on a free port that logs every request's processing time.
class BenchServer {
public:
    BenchServer() {
        process_.setProgram(QStringLiteral(QUILLO_CLOUD_BINARY));
        process_.setArguments({"--port", "0", "--port-file", dir_.filePath("port"), "--db",
                               dir_.filePath("cloud.sqlite3"), "--outbox", dir_.filePath("outbox"), "--cert",
                               QUILLO_BENCH_CA_DIR "/server.pem", "--key", QUILLO_BENCH_CA_DIR "/server.key",
                               "--demo-account", kEmail + ":" + kPassword, "--demo-balance", "100000", "--log-level",
                               "info"});
        process_.setStandardErrorFile(dir_.filePath("server.log"));
        process_.start();
        if (!process_.waitForStarted()) throw std::runtime_error("quillo-cloud did not start");
        // It announces its port once it listens.
        while (process_.waitForReadyRead(20000)) {
            if (process_.canReadLine()) break;
        }
        const QByteArray line = process_.readLine().trimmed();
        if (!line.startsWith("listening on ")) throw std::runtime_error("quillo-cloud did not report its port");
        port_ = line.mid(line.lastIndexOf(':') + 1).toInt();
    }
    ~BenchServer() {
        process_.terminate();
        process_.waitForFinished(10000);
    }
    QString endpoint() const { return QStringLiteral("https://127.0.0.1:%1/api/correct").arg(port_); }

    // Milliseconds the server spent on the last `count` correction requests.
    double lastCorrectionMilliseconds(int count) const {
        QFile log(dir_.filePath("server.log"));
        if (!log.open(QIODevice::ReadOnly)) return 0;
        std::vector<double> times;
        for (const QByteArray& line : log.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value("event").toString() == "request" && o.value("method").toString() == "POST" &&
                o.value("path").toString() == "/api/correct")
                times.push_back(o.value("ms").toDouble());
        }
        double sum = 0;
        for (int i = 0; i < count && i < static_cast<int>(times.size()); ++i) sum += times[times.size() - 1 - i];
        return sum;
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};

BenchServer& server() {
    static BenchServer instance;
    return instance;
}

QString sampleText(int characters) {
    const QString sentence = QStringLiteral("i recieve teh letter yesterday and definately agree with it. ");
    QString text;
    while (text.size() < characters) text += sentence;
    text.truncate(characters);
    return text;
}

QuilloCloudService::Options quietOptions(const QString& endpoint) {
    QuilloCloudService::Options options;
    options.endpoint = endpoint;
    options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
    return options;
}

// Client work alone: the answer comes from a script at once.
void BM_CorrectionRequestClientOnly(benchmark::State& state) {
    ScriptedCloudHttpTransport transport;
    const QByteArray answer =
        R"({"correction":"I received the letter.","routing":{"requestedSpeed":"Fast","usedSpeed":"Fast","billingSpeed":"Fast"},)"
        R"("billing":{"chargedCredits":0.01,"balanceCredits":9.99,"reservedCredits":0,"availableCredits":9.99}})";
    transport.setHandler([&](const CloudHttpRequest&) { return ScriptedCloudHttpTransport::Step::json(200, answer); });
    QuilloAuthSession session{QStringLiteral("token"), std::nullopt, std::nullopt,
                              QStringLiteral("u"),     kEmail,       std::nullopt};
    FixedSessionProvider auth(session);
    QuilloCloudService service(transport, auth, nullptr,
                               quietOptions(QStringLiteral("https://127.0.0.1:9/api/correct")));
    const QString text = sampleText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto result = blockingWait(
            service.correctText(text, "cloud_fast", CloudCorrectionModel::fast, CorrectionWritingMode::proofread));
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_CorrectionRequestClientOnly)->Arg(100)->Arg(9000)->Unit(benchmark::kMicrosecond);

// The whole request against the local server over HTTPS (a kept-alive connection).
void BM_CorrectionRequestAgainstServer(benchmark::State& state) {
    BenchServer& s = server();
    QtCloudHttpTransport transport(QStringList{QStringLiteral(QUILLO_BENCH_CA_DIR "/ca.pem")});
    FixedSessionProvider auth(
        blockingWait(CloudPasswordSignIn::signIn(transport, *QuilloCloudService::authURL(s.endpoint()), kEmail,
                                                 kPassword, QUuid::createUuid().toString(QUuid::WithoutBraces))));
    QuilloCloudService service(transport, auth, nullptr, quietOptions(s.endpoint()));
    const QString text = sampleText(static_cast<int>(state.range(0)));
    double serverMs = 0;
    for (auto _ : state) {
        auto result = blockingWait(
            service.correctText(text, "cloud_fast", CloudCorrectionModel::fast, CorrectionWritingMode::proofread));
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        serverMs += s.lastCorrectionMilliseconds(1);
        state.ResumeTiming();
    }
    state.counters["server_ms"] = benchmark::Counter(serverMs / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_CorrectionRequestAgainstServer)->Arg(100)->Arg(9000)->Unit(benchmark::kMillisecond)->UseRealTime();

// quillo-correct end to end (process start, sign-in, three chunks) for 20,000 characters.
void BM_QuilloCorrect20000Characters(benchmark::State& state) {
    BenchServer& s = server();
    const QByteArray input = sampleText(20000).toUtf8();
    double serverMs = 0, totalMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUILLO_EMAIL", kEmail);
        environment.insert("QUILLO_PASSWORD", kPassword);
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(QUILLO_CORRECT_BINARY),
                   {"--speed", "fast", "--endpoint", s.endpoint(), "--ca-file", QUILLO_BENCH_CA_DIR "/ca.pem"});
        tool.waitForStarted();
        tool.write(input);
        tool.closeWriteChannel();
        tool.waitForFinished(120000);
        totalMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
            static QByteArray message;
            message = "quillo-correct failed (" + QByteArray::number(tool.exitCode()) +
                      "): " + tool.readAllStandardError() + tool.errorString().toUtf8();
            state.SkipWithError(message.constData());
            break;
        }
        state.PauseTiming();
        serverMs += s.lastCorrectionMilliseconds(3);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["server_ms"] = benchmark::Counter(serverMs / n);
    state.counters["ratio_to_server"] = benchmark::Counter(serverMs > 0 ? totalMs / serverMs : 0);
}
BENCHMARK(BM_QuilloCorrect20000Characters)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// The same three chunks through the pipeline in process, signed in once: the client's share
// without the process start and the password check of a sign-in.
void BM_Pipeline20000CharactersAgainstServer(benchmark::State& state) {
    BenchServer& s = server();
    QtCloudHttpTransport transport(QStringList{QStringLiteral(QUILLO_BENCH_CA_DIR "/ca.pem")});
    FixedSessionProvider auth(
        blockingWait(CloudPasswordSignIn::signIn(transport, *QuilloCloudService::authURL(s.endpoint()), kEmail,
                                                 kPassword, QUuid::createUuid().toString(QUuid::WithoutBraces))));
    QuilloCloudService service(transport, auth, nullptr, quietOptions(s.endpoint()));
    CorrectionPipeline pipeline(service, 9000, [] { return std::optional<QString>(QStringLiteral("bench")); });
    const QString text = sampleText(20000);
    double serverMs = 0, totalMs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        auto result =
            blockingWait(pipeline.correct(text, {CloudCorrectionModel::fast, CorrectionWritingMode::proofread}));
        benchmark::DoNotOptimize(result);
        totalMs += static_cast<double>(timer.nsecsElapsed()) / 1e6;
        state.PauseTiming();
        serverMs += s.lastCorrectionMilliseconds(3);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["server_ms"] = benchmark::Counter(serverMs / n);
    state.counters["ratio_to_server"] = benchmark::Counter(serverMs > 0 ? totalMs / serverMs : 0);
}
BENCHMARK(BM_Pipeline20000CharactersAgainstServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
