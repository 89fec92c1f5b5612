#include "SoakWorkload.h"

#include "Services/CloudPasswordSignIn.h"
#include "Services/QuilloCloudError.h"
#include "Support/Clock.h"

#include <QCryptographicHash>
#include <QUuid>

namespace quillo::soak {

struct SoakWorkload::Worker {
    int index = 0;
    const Account* account = nullptr;
    std::unique_ptr<QtCloudHttpTransport> transport;
    FixedSessionProvider session;
    std::unique_ptr<QuilloCloudService> service;
    std::optional<QString> startedId; // the identity of the call in flight, as the client made it
    std::mt19937 rng;
};

namespace {

const QString password = QStringLiteral("soak-password-1");

QString failureKind(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const QuilloCloudError& e) {
        switch (e.kind()) {
        case QuilloCloudError::Kind::insufficientCredits: return QStringLiteral("insufficient_credits");
        case QuilloCloudError::Kind::temporarilyBusy: return QStringLiteral("busy_429");
        case QuilloCloudError::Kind::httpError: return QStringLiteral("http_%1").arg(e.status());
        case QuilloCloudError::Kind::authenticationRequired: return QStringLiteral("authentication_required");
        case QuilloCloudError::Kind::secureRandomUnavailable: return QStringLiteral("secure_random_unavailable");
        }
    } catch (const NetworkError& e) {
        return QStringLiteral("network_") + networkErrorCodeName(e.code);
    } catch (const CloudResponseDecodingError&) {
        return QStringLiteral("undecodable_answer");
    } catch (const CloudRequestEncodingError&) {
        return QStringLiteral("unencodable_request");
    } catch (const std::exception& e) {
        return QStringLiteral("exception: ") + QString::fromUtf8(e.what());
    } catch (...) {}
    return QStringLiteral("unknown_exception");
}

} // namespace

SoakWorkload::SoakWorkload(QString endpoint, QString caFile, std::vector<SoakText> texts, int workers,
                           std::uint32_t seed)
    : endpoint_(std::move(endpoint)), caFile_(std::move(caFile)), texts_(std::move(texts)) {
    accounts_.push_back({QStringLiteral("soak-big@example.com"), password, 1000000, false});
    accounts_.push_back({QStringLiteral("soak-low-1@example.com"), password, 0.05, true});
    if (workers >= 4) accounts_.push_back({QStringLiteral("soak-low-2@example.com"), password, 0.05, true});
    // With four workers or more: two share the first account near zero, one has the second,
    // the rest share the large one.
    const int lowWorkers = workers >= 4 ? 3 : 1;
    for (int i = 0; i < workers; ++i) {
        auto worker = std::make_unique<Worker>();
        worker->index = i;
        const int lowSlot = i - (workers - lowWorkers);
        worker->account = lowSlot < 0 ? &accounts_[0] : &accounts_[lowSlot < 2 ? 1 : 2];
        worker->transport = std::make_unique<QtCloudHttpTransport>(QStringList{caFile_});
        worker->rng.seed(seed * 7919u + static_cast<std::uint32_t>(i));
        QuilloCloudService::Options options;
        options.endpoint = endpoint_;
        Worker* w = worker.get();
        options.recordEvent = [w](QuilloDiagnosticEvent event, std::optional<QUuid> id) {
            if (event == QuilloDiagnosticEvent::cloudRequestStarted && id)
                w->startedId = id->toString(QUuid::WithoutBraces);
        };
        worker->service = std::make_unique<QuilloCloudService>(*worker->transport, worker->session, nullptr, options);
        workers_.push_back(std::move(worker));
    }
}

SoakWorkload::~SoakWorkload() = default;

std::vector<SoakWorkload::Account> SoakWorkload::lowAccounts() const {
    std::vector<Account> low;
    for (const Account& a : accounts_)
        if (a.low) low.push_back(a);
    return low;
}

QCoro::Task<> SoakWorkload::signIn() {
    const auto url = QuilloCloudService::authURL(endpoint_);
    for (auto& worker : workers_) {
        QuilloAuthSession session = co_await CloudPasswordSignIn::signIn(
            *worker->transport, *url, worker->account->email, worker->account->password,
            QUuid::createUuid().toString(QUuid::WithoutBraces));
        worker->session.setSession(session);
    }
}

QCoro::Task<> SoakWorkload::run() {
    std::vector<QCoro::Task<>> running;
    for (auto& worker : workers_) running.push_back(runWorker(*worker));
    for (auto& task : running) co_await task;
}

QCoro::Task<> SoakWorkload::runWorker(Worker& worker) {
    std::vector<int> shortTexts, mediumTexts, longTexts;
    for (int i = 0; i < static_cast<int>(texts_.size()); ++i) {
        if (texts_[i].isShort) shortTexts.push_back(i);
        else if (texts_[i].text.size() < 8000) mediumTexts.push_back(i);
        else longTexts.push_back(i);
    }
    auto pick = [&worker](const std::vector<int>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(worker.rng)];
    };
    Clock& clock = Clock::shared();
    while (!stopping_) {
        SoakCall call;
        call.worker = worker.index;
        call.lowAccount = worker.account->low;
        call.accountEmail = worker.account->email;
        const int roll = std::uniform_int_distribution<int>(0, 99)(worker.rng);
        call.textIndex = call.lowAccount || roll < 70 ? pick(shortTexts)
                         : roll < 96                  ? pick(mediumTexts)
                                                      : pick(longTexts);
        const QString& text = texts_[call.textIndex].text;
        call.units = text.size();
        call.model = std::uniform_int_distribution<int>(0, 1)(worker.rng) ? CloudCorrectionModel::veryVeryFast
                                                                          : CloudCorrectionModel::fast;
        call.style = std::uniform_int_distribution<int>(0, 3)(worker.rng) == 0 ? CorrectionWritingMode::contextual
                                                                               : CorrectionWritingMode::proofread;
        worker.startedId.reset();
        const double started = clock.uptimeSeconds();
        std::exception_ptr error;
        std::optional<QuilloCorrectionResult> result;
        try {
            result = co_await worker.service->correctText(text, QStringLiteral("cloud_fast"), call.model, call.style);
        } catch (...) {
            error = std::current_exception();
        }
        call.seconds = clock.uptimeSeconds() - started;
        call.correctionId = worker.startedId;
        if (error) {
            call.failure = failureKind(error);
        } else if (!result) {
            call.failure = QStringLiteral("no_result");
        } else {
            call.succeeded = true;
            call.correctionDigest = QCryptographicHash::hash(result->correction.toUtf8(), QCryptographicHash::Sha256);
            call.chargedCredits = result->chargedCredits;
            if (result->routing) call.billedModel = result->routing->billingModel;
            if (const auto& account = worker.service->account()) call.balanceCredits = account->balanceCredits;
        }
        // A refusal for credit or capacity comes back at once; a person would wait before the
        // next try, and so does the worker.
        const bool refused =
            call.failure == QLatin1String("insufficient_credits") || call.failure == QLatin1String("busy_429");
        calls_.push_back(std::move(call));
        if (refused) co_await clock.sleep(0.5);
    }
}

} // namespace quillo::soak
