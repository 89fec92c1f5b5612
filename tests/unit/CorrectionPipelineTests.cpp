#include "Models/NetworkErrorCode.h"
#include "QtTestPrinters.h"
#include "Services/CorrectionPipeline.h"
#include "Services/CorrectionPipelineError.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <deque>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

// A cloud client whose answers take `latency` seconds on the virtual clock, so a test can act while
// a request is in flight. By default it upper-cases the chunk and charges 1 credit; `script` can
// override any request's reply.
class ScriptedCloudClient final : public CloudCorrectionProviding {
public:
    struct Request {
        QString text;
        QString mode;
        CloudCorrectionModel cloudModel;
        CorrectionWritingMode writingMode;
    };
    struct Reply {
        std::optional<QuilloCorrectionResult> result;
        std::exception_ptr error;
    };

    explicit ScriptedCloudClient(VirtualClock& clock) : clock_(clock) {}

    std::vector<Request> requests;
    double latency = 1.0;
    bool honoursCancellation = true;
    // Called with the request number (from 0); return none for the default reply.
    std::function<std::optional<Reply>(int, const Request&)> script;

    static QuilloCorrectionResult defaultResult(const QString& text, CloudCorrectionModel model) {
        return QuilloCorrectionResult{text.toUpper(), QuilloCorrectionRouting{model, model, model}, {model}, 1.0};
    }

    QCoro::Task<std::optional<QuilloCorrectionResult>> correctText(QString text, QString mode,
                                                                   CloudCorrectionModel cloudModel,
                                                                   CorrectionWritingMode writingMode,
                                                                   CancellationToken token) override {
        const int number = static_cast<int>(requests.size());
        requests.push_back({text, mode, cloudModel, writingMode});
        std::optional<Reply> reply = script ? script(number, requests.back()) : std::nullopt;
        if (honoursCancellation) co_await clock_.sleepOrThrow(latency, token);
        else co_await clock_.sleep(latency);
        if (!reply) co_return defaultResult(text, cloudModel);
        if (reply->error) std::rethrow_exception(reply->error);
        co_return reply->result;
    }

    std::vector<QString> requestTexts() const {
        std::vector<QString> texts;
        for (const auto& r : requests) texts.push_back(r.text);
        return texts;
    }

private:
    VirtualClock& clock_;
};

std::optional<ScriptedCloudClient::Reply> fails(std::exception_ptr error) {
    return ScriptedCloudClient::Reply{std::nullopt, std::move(error)};
}
std::exception_ptr networkLost() {
    return std::make_exception_ptr(NetworkError{NetworkErrorCode::networkConnectionLost});
}

// Prose of exactly `length` UTF-16 units: five-letter words and single spaces.
QString prose(qsizetype length, QChar letter = u'w') {
    QString text;
    text.reserve(length);
    while (text.size() < length) text += (text.size() % 6 == 5) ? QChar(u' ') : letter;
    return text;
}

const CorrectionPipelineConfiguration veryVeryFastProofread{CloudCorrectionModel::veryVeryFast,
                                                            CorrectionWritingMode::proofread};

class CorrectionPipelineTest : public ::testing::Test {
public:
    VirtualClock clock;
    ScriptedCloudClient client{clock};
    std::optional<QString> scope = QStringLiteral("user-1:session-1");
    std::unique_ptr<CorrectionPipeline> pipeline = makePipeline(9000);

    std::unique_ptr<CorrectionPipeline> makePipeline(qsizetype limit) {
        return std::make_unique<CorrectionPipeline>(
            client, limit, [this] { return scope; }, 600.0, clock);
    }

    using Outcome = std::shared_ptr<TaskOutcome<std::optional<QuilloCorrectionResult>>>;

    Outcome start(const QString& text, CorrectionPipelineConfiguration configuration = veryVeryFastProofread,
                  CancellationToken token = {}) {
        return observe(pipeline->correct(text, configuration, std::move(token)));
    }
    // Lets the virtual clock run until the correction ends (requests answer after `latency`).
    void finish(const Outcome& outcome) {
        for (int i = 0; i < 100000 && !outcome->finished; ++i) clock.advance(client.latency);
        ASSERT_TRUE(outcome->finished);
    }
    Outcome run(const QString& text, CorrectionPipelineConfiguration configuration = veryVeryFastProofread) {
        auto outcome = start(text, configuration);
        finish(outcome);
        return outcome;
    }
    static std::optional<CorrectionPipelineError> pipelineError(const Outcome& outcome) {
        try {
            outcome->rethrowIfFailed();
        } catch (const CorrectionPipelineError& error) {
            return error;
        } catch (...) {}
        return std::nullopt;
    }
    // Fails the second request of the first run with a network error.
    Outcome failSecondChunk(const QString& text,
                            CorrectionPipelineConfiguration configuration = veryVeryFastProofread) {
        client.script = [](int n, const auto&) { return n == 1 ? fails(networkLost()) : std::nullopt; };
        auto outcome = run(text, configuration);
        client.script = nullptr;
        client.requests.clear();
        return outcome;
    }
};

} // namespace

TEST_F(CorrectionPipelineTest, ShortTextIsOneRequestWithTheConfiguredModelAndMode) {
    auto outcome = run(QStringLiteral("hello world"), {CloudCorrectionModel::fast, CorrectionWritingMode::contextual});
    ASSERT_TRUE(outcome->value && *outcome->value);
    const QuilloCorrectionResult& result = **outcome->value;
    EXPECT_EQ(result.correction, QStringLiteral("HELLO WORLD"));
    EXPECT_EQ(result.routing, std::nullopt) << "routing is reported only when a chunk was rerouted";
    EXPECT_EQ(result.usedModels, std::vector<CloudCorrectionModel>{CloudCorrectionModel::fast});
    EXPECT_EQ(result.chargedCredits, 1.0);
    ASSERT_EQ(client.requests.size(), 1u);
    EXPECT_EQ(client.requests[0].mode, QStringLiteral("cloud_fast"));
    EXPECT_EQ(client.requests[0].cloudModel, CloudCorrectionModel::fast);
    EXPECT_EQ(client.requests[0].writingMode, CorrectionWritingMode::contextual);
    EXPECT_FALSE(pipeline->hasResumeState()) << "single-chunk texts are never saved";
}

TEST_F(CorrectionPipelineTest, FailedMultiChunkCorrectionResumesWithOnlyTheMissingChunks) {
    const QString text = prose(20000);
    const QStringList chunks = pipeline->chunker().chunks(text);
    ASSERT_EQ(chunks.size(), 3);

    client.script = [](int n, const auto&) -> std::optional<ScriptedCloudClient::Reply> {
        if (n == 0) return ScriptedCloudClient::Reply{QuilloCorrectionResult{QStringLiteral("FIRST"), {}, {}, 0.5}, {}};
        if (n == 1) return fails(networkLost());
        return std::nullopt;
    };
    auto first = run(text);
    const auto error = pipelineError(first);
    ASSERT_TRUE(error);
    ASSERT_TRUE(error->isPartial());
    EXPECT_EQ(error->completed(), 1);
    EXPECT_EQ(error->chargedCredits(), 0.5);
    EXPECT_EQ(error->underlyingAs<NetworkError>(), NetworkError{NetworkErrorCode::networkConnectionLost});
    EXPECT_TRUE(pipeline->hasResumeState());
    EXPECT_EQ(client.requestTexts(), (std::vector<QString>{chunks[0], chunks[1]}));

    client.script = nullptr;
    client.requests.clear();
    clock.advance(590); // still within the 600 s since the first attempt started
    auto retry = run(text);
    ASSERT_TRUE(retry->value && *retry->value) << "retry failed";
    EXPECT_EQ(client.requestTexts(), (std::vector<QString>{chunks[1], chunks[2]})) << "only chunks 2 and 3 are sent";
    const QString expected = QStringLiteral("FIRST") + QStringLiteral(" ") + chunks[1].toUpper() + chunks[2].toUpper();
    // The saved first chunk keeps its trailing space from the original chunk.
    ASSERT_TRUE(chunks[0].endsWith(u' '));
    EXPECT_EQ((*retry->value)->correction, expected);
    EXPECT_EQ((*retry->value)->chargedCredits, 2.5) << "the saved chunk counts with its recorded charge";
    EXPECT_FALSE(pipeline->hasResumeState()) << "a finished correction drops its saved progress";
}

TEST_F(CorrectionPipelineTest, RetryStartsOverWhenAnythingDiffers) {
    const QString text = prose(20000);
    struct Case {
        const char* name;
        std::function<void(CorrectionPipelineTest&, QString&, CorrectionPipelineConfiguration&)> change;
    };
    const std::vector<Case> cases{
        {"new session", [](auto& t, auto&, auto&) { t.scope = QStringLiteral("user-1:session-2"); }},
        {"other user", [](auto& t, auto&, auto&) { t.scope = QStringLiteral("user-2:session-1"); }},
        {"speed", [](auto&, auto&, auto& c) { c.cloudModel = CloudCorrectionModel::fast; }},
        {"writing mode", [](auto&, auto&, auto& c) { c.writingMode = CorrectionWritingMode::contextual; }},
        {"600 s later", [](auto& t, auto&, auto&) { t.clock.advance(600); }},
        {"one character", [](auto&, auto& s, auto&) { s[15000] = u'x'; }},
        {"normalisation", [](auto&, auto& s, auto&) { s = QStringLiteral("e\u0301") + s; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scope = QStringLiteral("user-1:session-1");
        pipeline = makePipeline(9000);
        client.requests.clear();
        const QString original = QStringLiteral("\u00E9") + text;
        auto failed = failSecondChunk(original);
        ASSERT_TRUE(pipelineError(failed) && pipelineError(failed)->isPartial());

        QString retryText = original;
        CorrectionPipelineConfiguration configuration = veryVeryFastProofread;
        c.change(*this, retryText, configuration);
        if (std::string(c.name) == "600 s later") EXPECT_FALSE(pipeline->hasResumeState()) << "expired on time";
        auto retry = run(retryText, configuration);
        ASSERT_TRUE(retry->value && *retry->value);
        EXPECT_EQ(client.requests.size(), 3u) << "every chunk is sent again";
        EXPECT_EQ((*retry->value)->correction, retryText.toUpper());
    }
}

TEST_F(CorrectionPipelineTest, SavedProgressExpiresWithoutAnyCall) {
    const double started = clock.uptimeSeconds();
    auto failed = failSecondChunk(prose(20000));
    ASSERT_TRUE(pipeline->hasResumeState());
    clock.advance(started + 599.9 - clock.uptimeSeconds());
    EXPECT_TRUE(pipeline->hasResumeState());
    clock.advance(0.1);
    EXPECT_FALSE(pipeline->hasResumeState());
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST_F(CorrectionPipelineTest, FailuresWithoutSavedProgressPropagatePlain) {
    client.script = [](int, const auto&) { return fails(networkLost()); };
    auto single = run(QStringLiteral("short text"));
    EXPECT_TRUE(single->failedWith<NetworkError>()) << "a single-chunk failure is the client's own error";
    EXPECT_FALSE(pipeline->hasResumeState());

    auto firstOfMany = run(prose(20000));
    EXPECT_TRUE(firstOfMany->failedWith<NetworkError>()) << "nothing saved yet";
    EXPECT_TRUE(pipeline->hasResumeState());

    scope.reset();
    client.script = [](int n, const auto&) { return n == 1 ? fails(networkLost()) : std::nullopt; };
    client.requests.clear();
    auto signedOut = run(prose(20000));
    EXPECT_TRUE(signedOut->failedWith<NetworkError>()) << "signed-out corrections are never saved";
    EXPECT_FALSE(pipeline->hasResumeState());
}

TEST_F(CorrectionPipelineTest, MissingResultIsUnavailableOrPartial) {
    client.script = [](int, const auto&) { return ScriptedCloudClient::Reply{}; };
    auto single = run(QStringLiteral("short text"));
    auto error = pipelineError(single);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), CorrectionPipelineError::Kind::unavailable);

    client.script = [](int n, const auto&) {
        return n == 1 ? std::optional<ScriptedCloudClient::Reply>(ScriptedCloudClient::Reply{}) : std::nullopt;
    };
    client.requests.clear();
    auto multi = run(prose(20000));
    error = pipelineError(multi);
    ASSERT_TRUE(error && error->isPartial());
    EXPECT_EQ(error->completed(), 1);
    EXPECT_EQ(error->chargedCredits(), 1.0);
    ASSERT_TRUE(error->underlying());
    EXPECT_EQ(error->underlyingAs<CorrectionPipelineError>()->kind(), CorrectionPipelineError::Kind::unavailable);
}

TEST_F(CorrectionPipelineTest, PartialChargeIsAbsentWhenASavedChunkReportedNone) {
    client.script = [](int n, const auto& r) -> std::optional<ScriptedCloudClient::Reply> {
        if (n == 0) return ScriptedCloudClient::Reply{QuilloCorrectionResult{r.text, {}, {}, std::nullopt}, {}};
        if (n == 2) return fails(networkLost());
        return std::nullopt;
    };
    auto outcome = run(prose(27000));
    auto error = pipelineError(outcome);
    ASSERT_TRUE(error && error->isPartial());
    EXPECT_EQ(error->completed(), 2);
    EXPECT_EQ(error->chargedCredits(), std::nullopt);
}

TEST_F(CorrectionPipelineTest, BlankTextReturnsNoneWithoutRequests) {
    auto outcome = run(QStringLiteral("   \n\n \t  \r\n"));
    ASSERT_TRUE(outcome->value);
    EXPECT_EQ(*outcome->value, std::nullopt);
    EXPECT_TRUE(client.requests.empty());

    pipeline = makePipeline(10);
    auto many = run(QString(35, u' ') + QStringLiteral("\n\n\n"));
    ASSERT_TRUE(many->value);
    EXPECT_EQ(*many->value, std::nullopt);
    EXPECT_TRUE(client.requests.empty());
}

TEST_F(CorrectionPipelineTest, BlankChunksAreKeptUnsentAndCorrectedChunksKeepTheirEdges) {
    pipeline = makePipeline(20);
    // The client answers each chunk trimmed, as a real service may.
    client.script = [](int, const auto& r) {
        return std::optional<ScriptedCloudClient::Reply>(ScriptedCloudClient::Reply{
            QuilloCorrectionResult{r.text.trimmed().replace(QStringLiteral("teh"), QStringLiteral("the")), {}, {}, 0.5},
            {}});
    };
    const QString text = QStringLiteral("  teh misteak here\n") + QString(25, u' ') + QStringLiteral("\n  teh end\n");
    const QStringList chunks = pipeline->chunker().chunks(text);
    ASSERT_GE(chunks.size(), 3);
    auto outcome = run(text);
    ASSERT_TRUE(outcome->value && *outcome->value);
    QString expected = text;
    expected.replace(QStringLiteral("teh"), QStringLiteral("the"));
    EXPECT_EQ((*outcome->value)->correction, expected);
    for (const auto& r : client.requests) EXPECT_FALSE(r.text.trimmed().isEmpty()) << "blank chunks are never sent";
    EXPECT_EQ(client.requests.size(), 2u);
    EXPECT_EQ((*outcome->value)->chargedCredits, 1.0) << "blank chunks are never charged";
}

TEST_F(CorrectionPipelineTest, RoutingModelsAndChargesMerge) {
    pipeline = makePipeline(10);
    using M = CloudCorrectionModel;
    client.script = [](int n, const auto& r) {
        QuilloCorrectionResult result =
            n == 0 ? QuilloCorrectionResult{r.text, QuilloCorrectionRouting{M::fast, M::fast, M::fast}, {M::fast}, 0.5}
                   : QuilloCorrectionResult{r.text,
                                            QuilloCorrectionRouting{M::fast, M::veryVeryFast, M::veryVeryFast},
                                            {M::veryVeryFast, M::fast},
                                            0.25};
        return std::optional<ScriptedCloudClient::Reply>(ScriptedCloudClient::Reply{result, {}});
    };
    auto outcome = run(QStringLiteral("aaaa\nbbbb\ncccc"), {M::fast, CorrectionWritingMode::proofread});
    ASSERT_TRUE(outcome->value && *outcome->value);
    const auto& result = **outcome->value;
    EXPECT_EQ(result.routing, (QuilloCorrectionRouting{M::fast, M::veryVeryFast, M::veryVeryFast}));
    EXPECT_EQ(result.usedModels, (std::vector<M>{M::fast, M::veryVeryFast}));
    EXPECT_EQ(result.chargedCredits, 0.75);

    client.script = [](int n, const auto& r) {
        return std::optional<ScriptedCloudClient::Reply>(ScriptedCloudClient::Reply{
            QuilloCorrectionResult{r.text, std::nullopt, {}, n == 0 ? std::optional<double>(0.5) : std::nullopt}, {}});
    };
    auto uncharged = run(QStringLiteral("aaaa\nbbbb\ncccc"));
    ASSERT_TRUE(uncharged->value && *uncharged->value);
    EXPECT_EQ((*uncharged->value)->chargedCredits, std::nullopt);
    EXPECT_EQ((*uncharged->value)->routing, std::nullopt);
}

TEST_F(CorrectionPipelineTest, NewerCorrectionSupersedesTheWaitingOne) {
    auto first = start(QStringLiteral("first text"));
    EXPECT_EQ(client.requests.size(), 1u);
    auto second = start(QStringLiteral("second text"));
    EXPECT_FALSE(first->finished) << "the first stops only at its next check";
    finish(second);
    ASSERT_TRUE(first->finished);
    EXPECT_TRUE(first->failedWith<CancellationError>());
    ASSERT_TRUE(second->value && *second->value);
    EXPECT_EQ((*second->value)->correction, QStringLiteral("SECOND TEXT"));
}

TEST_F(CorrectionPipelineTest, SupersededRunOfTheSameTextSavesNothingButTheNewerOneResumes) {
    const QString text = prose(20000);
    auto failed = failSecondChunk(text);
    ASSERT_EQ(pipeline->savedChunkCount(), 1);
    auto older = start(text); // waits for chunk 2
    auto newer = start(text); // keeps the saved state, also asks for chunk 2
    finish(newer);
    ASSERT_TRUE(older->finished);
    EXPECT_TRUE(older->failedWith<CancellationError>());
    ASSERT_TRUE(newer->value && *newer->value);
    EXPECT_EQ((*newer->value)->correction, text.toUpper());
    EXPECT_EQ(client.requests.size(), 3u) << "older: chunk 2; newer: chunks 2 and 3";
}

TEST_F(CorrectionPipelineTest, SessionChangeMidRunCancelsAndRetryStartsOver) {
    const QString text = prose(20000);
    auto outcome = start(text);
    clock.advance(1.0); // chunk 1 done, chunk 2 in flight
    EXPECT_EQ(pipeline->savedChunkCount(), 1);
    scope = QStringLiteral("user-1:session-2");
    finish(outcome);
    EXPECT_TRUE(outcome->failedWith<CancellationError>()) << "never reported as partial";
    EXPECT_EQ(pipeline->savedChunkCount(), 1) << "the answer of the old session is not saved";
    EXPECT_EQ(client.requests.size(), 2u);

    client.requests.clear();
    auto retry = run(text);
    ASSERT_TRUE(retry->value && *retry->value);
    EXPECT_EQ(client.requests.size(), 3u);
}

TEST_F(CorrectionPipelineTest, SignOutMidRunCancels) {
    auto outcome = start(prose(20000));
    scope.reset();
    finish(outcome);
    EXPECT_TRUE(outcome->failedWith<CancellationError>());
}

TEST_F(CorrectionPipelineTest, CancellationEndsTheRunAndKeepsSavedProgress) {
    const QString text = prose(20000);
    const QStringList chunks = pipeline->chunker().chunks(text);
    CancellationSource source;
    auto outcome = start(text, veryVeryFastProofread, source.token());
    clock.advance(1.0);
    source.cancel();
    ASSERT_TRUE(outcome->finished) << "the client's wait ends at once";
    EXPECT_TRUE(outcome->failedWith<CancellationError>()) << "cancellation is never partial";
    EXPECT_EQ(pipeline->savedChunkCount(), 1);

    client.requests.clear();
    auto retry = run(text);
    ASSERT_TRUE(retry->value && *retry->value);
    EXPECT_EQ(client.requestTexts(), (std::vector<QString>{chunks[1], chunks[2]}));
}

TEST_F(CorrectionPipelineTest, AnswerArrivingAfterCancellationIsStillSaved) {
    client.honoursCancellation = false;
    CancellationSource source;
    auto outcome = start(prose(20000), veryVeryFastProofread, source.token());
    clock.advance(0.5);
    source.cancel();
    EXPECT_FALSE(outcome->finished);
    finish(outcome);
    EXPECT_TRUE(outcome->failedWith<CancellationError>());
    EXPECT_EQ(pipeline->savedChunkCount(), 1) << "the paid answer is kept for a retry";
    EXPECT_EQ(client.requests.size(), 1u);
}

TEST_F(CorrectionPipelineTest, AlreadyCancelledTokenSendsNothing) {
    CancellationSource source;
    source.cancel();
    auto outcome = start(QStringLiteral("some text"), veryVeryFastProofread, source.token());
    ASSERT_TRUE(outcome->finished);
    EXPECT_TRUE(outcome->failedWith<CancellationError>());
    EXPECT_TRUE(client.requests.empty());
}

TEST_F(CorrectionPipelineTest, ChunkingFailureDropsSavedProgress) {
    auto failed = failSecondChunk(prose(20000));
    ASSERT_TRUE(pipeline->hasResumeState());
    auto outcome = run(QStringLiteral("a") + QString(9001, QChar(0x0301)) + prose(100));
    EXPECT_TRUE(outcome->failedWith<CorrectionChunkingError>());
    EXPECT_FALSE(pipeline->hasResumeState());
    EXPECT_EQ(clock.pendingTimers(), 0u) << "the expiry task is cancelled";
}

TEST_F(CorrectionPipelineTest, DiscardResumeStateForgetsProgress) {
    const QString text = prose(20000);
    auto failed = failSecondChunk(text);
    pipeline->discardResumeState();
    EXPECT_FALSE(pipeline->hasResumeState());
    EXPECT_EQ(clock.pendingTimers(), 0u);
    auto retry = run(text);
    EXPECT_EQ(client.requests.size(), 3u);
}

TEST_F(CorrectionPipelineTest, TextBeyondTheByteBudgetIsNeverSaved) {
    client.latency = 0;
    // 500,001 UTF-16 units but 1,000,002 UTF-8 bytes.
    const QString text(500001, QChar(0x00E9));
    client.script = [](int n, const auto&) { return n == 3 ? fails(networkLost()) : std::nullopt; };
    auto outcome = run(text);
    EXPECT_TRUE(outcome->failedWith<NetworkError>());
    EXPECT_FALSE(pipeline->hasResumeState());

    // Exactly 1,000,000 bytes is within the budget, and answers of no bytes still fit beside it.
    const QString fits(500000, QChar(0x00E9));
    client.requests.clear();
    client.script = [](int n, const auto&) -> std::optional<ScriptedCloudClient::Reply> {
        if (n == 1) return fails(networkLost());
        return ScriptedCloudClient::Reply{QuilloCorrectionResult{QString(), {}, {}, 1.0}, {}};
    };
    auto fitting = run(fits);
    const auto error = pipelineError(fitting);
    ASSERT_TRUE(error && error->isPartial());
    EXPECT_EQ(error->completed(), 1);
}

TEST_F(CorrectionPipelineTest, SavedProgressStopsWhenItWouldExceedTheByteBudget) {
    client.latency = 0;
    const QString text = prose(600000); // ASCII: 600,000 bytes, 67 chunks
    const QStringList chunks = pipeline->chunker().chunks(text);
    ASSERT_GT(chunks.size(), 60);
    int savedWhenFailing = -1;
    client.script = [&](int n, const auto&) -> std::optional<ScriptedCloudClient::Reply> {
        if (n == 50) {
            savedWhenFailing = pipeline->savedChunkCount();
            return fails(networkLost());
        }
        return std::nullopt;
    };
    auto outcome = run(text);
    // 600,000 + 44 * 9000 = 996,000 still fits; the 45th answer would not.
    EXPECT_EQ(savedWhenFailing, 0) << "saved progress was dropped on the way";
    EXPECT_TRUE(outcome->failedWith<NetworkError>()) << "no partial once progress is dropped";
    EXPECT_FALSE(pipeline->hasResumeState());
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST_F(CorrectionPipelineTest, ByteBudgetHoldsUpToTheLastFittingAnswer) {
    client.latency = 0;
    const QString text = prose(600000);
    int savedAt45 = -1;
    client.script = [&](int n, const auto&) -> std::optional<ScriptedCloudClient::Reply> {
        if (n == 44) savedAt45 = pipeline->savedChunkCount();
        if (n == 44) return fails(networkLost());
        return std::nullopt;
    };
    auto outcome = run(text);
    EXPECT_EQ(savedAt45, 44);
    auto error = pipelineError(outcome);
    ASSERT_TRUE(error && error->isPartial());
    EXPECT_EQ(error->completed(), 44);
    EXPECT_EQ(error->chargedCredits(), 44.0);
}

TEST_F(CorrectionPipelineTest, DestroyingThePipelineEndsSuspendedRunsAndTheExpiryTask) {
    auto outcome = start(prose(20000));
    EXPECT_EQ(clock.pendingTimers(), 2u) << "the expiry task and the request in flight";
    pipeline.reset();
    EXPECT_EQ(clock.pendingTimers(), 1u);
    finish(outcome);
    EXPECT_TRUE(outcome->failedWith<CancellationError>());
}
