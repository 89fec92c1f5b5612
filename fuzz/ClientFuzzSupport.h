#pragma once
// Shared pieces of the client's fuzz targets: the application object, UTF-16 text from bytes,
// and cloud answers read from an input and played by a scripted transport on a virtual clock.
//
// Answer script: steps separated by a line "===". A step's first line is
// "STATUS [Name: value]..." (headers separated by " | ") and the rest is the body, or "!CODE"
// for a transport failure with that NetworkErrorCode number. Requests after the script fail
// with cannotConnectToHost.
#include "Services/QuilloCloudService.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace quillofuzz {

using namespace quillo;
using Step = ScriptedCloudHttpTransport::Step;

inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "quillo-fuzz";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    (void)app;
    // Log lines of the services would drown the fuzzer's own output.
    static const bool quiet = [] {
        qputenv("QT_LOGGING_RULES", "*=false");
        qSetMessagePattern(QString());
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtFatalMsg) {
                std::fprintf(stderr, "%s\n", qPrintable(message));
                std::abort();
            }
        });
        return true;
    }();
    (void)quiet;
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Two bytes per UTF-16 unit, any values (lone surrogates included).
inline QString utf16(const std::uint8_t* data, std::size_t size) {
    QString text;
    text.reserve(qsizetype(size / 2));
    for (std::size_t i = 0; i + 1 < size; i += 2) text.append(QChar(char16_t(data[i] | (data[i + 1] << 8))));
    return text;
}

inline QList<QByteArray> splitSteps(const QByteArray& input) {
    QList<QByteArray> steps;
    qsizetype start = 0;
    while (true) {
        const qsizetype separator = input.indexOf("\n===\n", start);
        if (separator < 0) {
            steps.append(input.mid(start));
            return steps;
        }
        steps.append(input.mid(start, separator - start));
        start = separator + 5;
    }
}

inline Step stepFrom(const QByteArray& text) {
    const qsizetype newline = text.indexOf('\n');
    const QByteArray head = newline < 0 ? text : text.left(newline);
    const QByteArray body = newline < 0 ? QByteArray() : text.mid(newline + 1);
    if (head.startsWith('!')) {
        const int code = head.mid(1).trimmed().toInt();
        return Step::failure(NetworkErrorCode(std::clamp(code, 0, int(NetworkErrorCode::clientCertificateRequired))));
    }
    const QList<QByteArray> parts = head.split('|');
    CloudHttpHeaders headers;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype colon = parts[i].indexOf(':');
        if (colon > 0) headers.emplace_back(parts[i].left(colon).trimmed(), parts[i].mid(colon + 1).trimmed());
    }
    return Step::answer(parts.value(0).trimmed().toInt(), body, headers);
}

// A scripted transport on a virtual clock that is also the shared clock while it lives.
struct ScriptedCloud {
    VirtualClock clock;
    ScopedSharedClock shared{clock};
    ScriptedCloudHttpTransport transport{clock};

    explicit ScriptedCloud(const QByteArray& script) {
        ensureApplication();
        if (!script.isEmpty())
            for (const QByteArray& step : splitSteps(script)) transport.enqueue(stepFrom(step));
    }

    // Walks virtual time until the task ends; every client operation has a deadline, so one that
    // is still running after a virtual day is stuck.
    template <typename T> void drive(const std::shared_ptr<TaskOutcome<T>>& outcome) {
        const double end = clock.uptimeSeconds() + 86400.0;
        QCoreApplication::processEvents();
        while (!outcome->finished && clock.uptimeSeconds() < end && clock.advanceToNextTimer())
            QCoreApplication::processEvents();
        if (!outcome->finished) fail("a client operation never ended");
    }
};

// The cloud service options every client target uses: a loopback endpoint that is never reached
// (the scripted transport answers), the script's clock, no diagnostics.
inline QuilloCloudService::Options serviceOptions(ScriptedCloud& cloud) {
    QuilloCloudService::Options options;
    options.endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
    options.clock = &cloud.clock;
    options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
    return options;
}

inline QuilloAuthSession signedInSession() {
    QuilloAuthSession session;
    session.accessToken = QStringLiteral("token-a");
    session.userId = QStringLiteral("user-1");
    return session;
}

} // namespace quillofuzz
