#include "SoakReport.h"

#include <QJsonArray>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace quillo::soak {

namespace {

// Failures the faults may cause when they pile up on one call (its retries spent), and the
// refusals of accounts near zero. Anything else is a fault of the client or the server.
bool expectedFailure(const SoakCall& call) {
    static const QSet<QString> afterFaults{
        QStringLiteral("busy_429"),        QStringLiteral("http_502"), QStringLiteral("http_503"),
        QStringLiteral("http_504"),        QStringLiteral("http_425"), QStringLiteral("network_networkConnectionLost"),
        QStringLiteral("network_timedOut")};
    if (call.failure == QLatin1String("insufficient_credits")) return call.lowAccount;
    return afterFaults.contains(call.failure);
}

QJsonObject toJson(const QHash<QString, qint64>& counts) {
    QJsonObject o;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) o.insert(it.key(), it.value());
    return o;
}

QString listed(const QHash<QString, qint64>& counts) {
    QMap<QString, qint64> sorted;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) sorted.insert(it.key(), it.value());
    QStringList parts;
    for (auto it = sorted.cbegin(); it != sorted.cend(); ++it)
        parts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

QString mib(qint64 kib) { return QString::number(static_cast<double>(kib) / 1024.0, 'f', 1); }

} // namespace

SoakReport SoakReport::make(const Inputs& in) {
    SoakReport report;
    const std::vector<SoakCall>& calls = *in.calls;

    qint64 succeeded = 0, rerouted = 0, unexpected = 0, lowestSeenMicro = 0;
    bool anyBalanceSeen = false;
    QHash<QString, qint64> failures;
    std::vector<double> latencies;
    QHash<QString, QSet<QByteArray>> answers; // digests by text and style
    for (const SoakCall& call : calls) {
        if (call.succeeded) {
            ++succeeded;
            latencies.push_back(call.seconds);
            if (call.billedModel && *call.billedModel != call.model) ++rerouted;
            answers[QStringLiteral("%1/%2").arg(call.textIndex).arg(static_cast<int>(call.style))].insert(
                call.correctionDigest);
            if (call.balanceCredits) {
                const qint64 seen = std::llround(*call.balanceCredits * 1e6);
                lowestSeenMicro = anyBalanceSeen ? std::min(lowestSeenMicro, seen) : seen;
                anyBalanceSeen = true;
            }
            continue;
        }
        ++failures[call.failure];
        if (!expectedFailure(call)) {
            if (++unexpected <= 5)
                report.problems << QStringLiteral("unexpected failure %1 (%2 account, correction %3)")
                                       .arg(call.failure,
                                            call.lowAccount ? QStringLiteral("low") : QStringLiteral("large"),
                                            call.correctionId.value_or(QStringLiteral("not sent")));
        }
    }
    if (unexpected > 5) report.problems << QStringLiteral("%1 unexpected failures in all").arg(unexpected);
    qint64 inconsistent = 0;
    for (auto it = answers.cbegin(); it != answers.cend(); ++it)
        if (it->size() > 1) ++inconsistent;
    if (inconsistent)
        report.problems << QStringLiteral("%1 text(s) got different corrections on different calls").arg(inconsistent);
    if (anyBalanceSeen && lowestSeenMicro < 0)
        report.problems << QStringLiteral("the client was told of a negative balance");
    if (calls.empty() || succeeded == 0) report.problems << QStringLiteral("no correction succeeded");

    // Memory: after the warm-up, the highest sample may exceed the first by at most the limit.
    qint64 startKiB = 0, peakKiB = 0, endKiB = 0, baselineKiB = 0, peakAfterKiB = 0;
    double slopeKiBPerMinute = 0;
    if (!in.memory.empty()) {
        startKiB = in.memory.front().kib;
        endKiB = in.memory.back().kib;
        std::vector<SoakMemorySample> after;
        for (const SoakMemorySample& s : in.memory) {
            peakKiB = std::max(peakKiB, s.kib);
            if (s.seconds >= in.warmUpSeconds) after.push_back(s);
        }
        if (!after.empty()) {
            baselineKiB = after.front().kib;
            for (const SoakMemorySample& s : after) peakAfterKiB = std::max(peakAfterKiB, s.kib);
            double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
            for (const SoakMemorySample& s : after) {
                n += 1;
                sx += s.seconds;
                sy += static_cast<double>(s.kib);
                sxx += s.seconds * s.seconds;
                sxy += s.seconds * static_cast<double>(s.kib);
            }
            const double d = n * sxx - sx * sx;
            if (d > 0) slopeKiBPerMinute = (n * sxy - sx * sy) / d * 60.0;
        }
    }
    const qint64 growthKiB = peakAfterKiB - baselineKiB;
    if (in.memory.empty()) report.problems << QStringLiteral("the server's memory could not be read");
    else if (static_cast<double>(growthKiB) > in.memoryGrowthLimitMiB * 1024.0)
        report.problems << QStringLiteral("the server's memory grew %1 MiB after the warm-up (limit %2 MiB)")
                               .arg(mib(growthKiB))
                               .arg(in.memoryGrowthLimitMiB);
    if (!in.serverStoppedCleanly) report.problems << QStringLiteral("the server did not stop cleanly");
    report.problems << in.audit.problems;

    const SoakLedgerFigures& f = in.audit.figures;
    const qint64 attempted = static_cast<qint64>(calls.size());
    QString balanceLine =
        QStringLiteral(
            "balances: lowest running balance in the ledger %1 credits; %2 top-ups of the accounts near zero")
            .arg(static_cast<double>(f.lowestBalanceMicro) / 1e6, 0, 'f', 6)
            .arg(f.balanceSets);
    report.lines
        << QStringLiteral("soak: %1 s under faults, %2 concurrent clients, seed %3")
               .arg(in.seconds, 0, 'f', 1)
               .arg(in.clients)
               .arg(in.seed)
        << in.setup
        << QStringLiteral("corrections: attempted %1, succeeded %2, failed %3 (%4 rerouted to the other speed)")
               .arg(attempted)
               .arg(succeeded)
               .arg(attempted - succeeded)
               .arg(rerouted)
        << QStringLiteral("  failed by kind: %1").arg(listed(failures))
        << QStringLiteral("  latency of successes: median %1 s, p99 %2 s")
               .arg(percentile(latencies, 0.5), 0, 'f', 3)
               .arg(percentile(latencies, 0.99), 0, 'f', 3)
        << QStringLiteral("  client retries: %1").arg(listed(in.clientRetries))
        << QStringLiteral("faults armed: %1").arg(listed(in.faultsArmed))
        << QStringLiteral("faults applied by the server: %1").arg(listed(in.faultsApplied))
        << QStringLiteral("charges: %1 in the ledger (%2 credits); %3 delivered corrections each matched to one "
                          "charge of its price; %4 charged with the answer lost; %5 charged twice; %6 unknown")
               .arg(f.chargedCorrections)
               .arg(static_cast<double>(f.chargedMicro) / 1e6, 0, 'f', 6)
               .arg(f.deliveredAndCharged)
               .arg(f.chargedButAnswerLost)
               .arg(f.doubleCharges)
               .arg(f.unknownCharges)
        << balanceLine
        << QStringLiteral("consistency: %1 text/style pairs answered, %2 with differing answers")
               .arg(answers.size())
               .arg(inconsistent)
        << QStringLiteral("server RSS: start %1 MiB, peak %2 MiB, end %3 MiB; after the %4 s warm-up %5 -> peak %6 MiB "
                          "(+%7 MiB, limit %8 MiB), trend %9 KiB/min")
               .arg(mib(startKiB), mib(peakKiB), mib(endKiB))
               .arg(in.warmUpSeconds, 0, 'f', 0)
               .arg(mib(baselineKiB), mib(peakAfterKiB), mib(growthKiB))
               .arg(in.memoryGrowthLimitMiB)
               .arg(slopeKiBPerMinute, 0, 'f', 0)
        << QStringLiteral("client RSS: start %1 MiB, end %2 MiB").arg(mib(in.clientKiBStart), mib(in.clientKiBEnd));
    for (const QString& problem : report.problems) report.lines << QStringLiteral("problem: ") + problem;
    report.lines << (report.passed() ? QStringLiteral("verdict: pass") : QStringLiteral("verdict: FAIL"));

    QJsonObject ledger{{"chargedCorrections", f.chargedCorrections},
                       {"chargedCredits", static_cast<double>(f.chargedMicro) / 1e6},
                       {"deliveredAndCharged", f.deliveredAndCharged},
                       {"chargedButAnswerLost", f.chargedButAnswerLost},
                       {"doubleCharges", f.doubleCharges},
                       {"unknownCharges", f.unknownCharges},
                       {"unmatchedSuccesses", f.unmatchedSuccesses},
                       {"negativeSteps", f.negativeSteps},
                       {"lowestBalanceCredits", static_cast<double>(f.lowestBalanceMicro) / 1e6},
                       {"ledgerMismatches", f.ledgerMismatches},
                       {"reservedLeftMicro", f.reservedLeft},
                       {"processingLeft", f.processingLeft},
                       {"balanceSets", f.balanceSets}};
    report.json = QJsonObject{{"seconds", in.seconds},
                              {"clients", in.clients},
                              {"seed", static_cast<qint64>(in.seed)},
                              {"setup", QJsonArray::fromStringList(in.setup)},
                              {"attempted", attempted},
                              {"succeeded", succeeded},
                              {"failed", attempted - succeeded},
                              {"rerouted", rerouted},
                              {"failedByKind", toJson(failures)},
                              {"latencyMedianSeconds", percentile(latencies, 0.5)},
                              {"latencyP99Seconds", percentile(latencies, 0.99)},
                              {"clientRetries", toJson(in.clientRetries)},
                              {"faultsArmed", toJson(in.faultsArmed)},
                              {"faultsApplied", toJson(in.faultsApplied)},
                              {"ledger", ledger},
                              {"inconsistentTexts", inconsistent},
                              {"serverRssKiB", QJsonObject{{"start", startKiB},
                                                           {"peak", peakKiB},
                                                           {"end", endKiB},
                                                           {"afterWarmUp", baselineKiB},
                                                           {"peakAfterWarmUp", peakAfterKiB},
                                                           {"growthAfterWarmUp", growthKiB},
                                                           {"trendPerMinute", slopeKiBPerMinute},
                                                           {"warmUpSeconds", in.warmUpSeconds},
                                                           {"limitMiB", in.memoryGrowthLimitMiB}}},
                              {"clientRssKiB", QJsonObject{{"start", in.clientKiBStart}, {"end", in.clientKiBEnd}}},
                              {"problems", QJsonArray::fromStringList(report.problems)},
                              {"verdict", report.passed() ? "pass" : "fail"}};
    return report;
}

} // namespace quillo::soak
