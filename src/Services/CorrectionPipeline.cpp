#include "Services/CorrectionPipeline.h"

#include "Support/CorrectionChunkAccumulator.h"
#include "Support/Logging.h"

#include <algorithm>

namespace quillo {

namespace {

// UTF-8 length of a UTF-16 text without converting it (a lone surrogate encodes as U+FFFD).
qsizetype utf8ByteCount(const QString& text) {
    const QChar* chars = text.constData();
    const qsizetype length = text.size();
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = chars[i].unicode();
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < length && chars[i + 1].isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

// "Trimmed of whitespace and newlines is empty", code point by code point.
bool trimsToEmpty(const QString& text) {
    const QChar* chars = text.constData();
    const qsizetype length = text.size();
    for (qsizetype i = 0; i < length; ++i) {
        char32_t cp = chars[i].unicode();
        if (chars[i].isHighSurrogate() && i + 1 < length && chars[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(chars[i], chars[i + 1]);
            ++i;
        }
        if (!QChar::isSpace(cp)) return false;
    }
    return true;
}

} // namespace

CorrectionPipeline::CorrectionPipeline(CloudCorrectionProviding& cloudClient, qsizetype cloudChunkCharacters,
                                       SessionScope sessionScope, double retentionSeconds, Clock& clock)
    : cloudClient_(cloudClient), cloudChunker_(cloudChunkCharacters), sessionScope_(std::move(sessionScope)),
      retentionSeconds_(retentionSeconds), clock_(clock) {}

CorrectionPipeline::~CorrectionPipeline() {
    // Expire the weak handles first, so nothing resumed by the cancellation touches this object.
    lifetime_.reset();
    cancelExpiryTask();
}

void CorrectionPipeline::discardResumeState() {
    resumeState_.reset();
    cancelExpiryTask();
}

void CorrectionPipeline::cancelExpiryTask() {
    // Move the source out first: cancelling resumes the expiry task synchronously.
    if (auto source = std::move(expiryTask_)) source->cancel();
}

void CorrectionPipeline::startExpiryTask(const QUuid& stateId) {
    cancelExpiryTask();
    expiryTask_ = std::make_unique<CancellationSource>();
    expire(clock_, retentionSeconds_, expiryTask_->token(), lifetime_, this, stateId);
}

QCoro::Task<> CorrectionPipeline::expire(Clock& clock, double seconds, CancellationToken token,
                                         std::weak_ptr<void> alive, CorrectionPipeline* pipeline, QUuid stateId) {
    const bool elapsed = co_await clock.sleep(seconds, token);
    if (!elapsed || alive.expired()) co_return;
    if (pipeline->resumeState_ && pipeline->resumeState_->id == stateId) {
        qCDebug(lcCorrection) << "saved correction progress expired";
        pipeline->resumeState_.reset();
    }
    pipeline->expiryTask_.reset();
}

void CorrectionPipeline::prepareResumeState(const QString& text, const CorrectionPipelineConfiguration& configuration,
                                            const std::optional<QString>& scope, qsizetype chunkCount) {
    if (resumeState_ && now() < resumeState_->expiresAt && scope && *scope == resumeState_->scope &&
        configuration == resumeState_->configuration && text == resumeState_->original) {
        qCDebug(lcCorrection).nospace() << "resuming with " << resumeState_->results.size() << " saved chunks";
        return;
    }
    discardResumeState();
    if (chunkCount < 2 || !scope) return;
    const qsizetype bytes = utf8ByteCount(text);
    if (bytes > maximumResumeBytes_) return;
    ResumeState state;
    state.id = QUuid::createUuid();
    state.original = text;
    state.configuration = configuration;
    state.scope = *scope;
    state.expiresAt = now() + retentionSeconds_;
    state.bytes = bytes;
    const QUuid id = state.id;
    resumeState_ = std::move(state);
    startExpiryTask(id);
}

void CorrectionPipeline::checkCurrent(const CancellationToken& token, quint64 runGeneration,
                                      const std::optional<QString>& runScope, bool includeCancellation) const {
    if (includeCancellation && token.isCancelled()) throw CancellationError();
    if (generation_ != runGeneration) throw CancellationError();
    if (currentScope() != runScope) throw CancellationError();
}

QCoro::Task<std::optional<QuilloCorrectionResult>>
CorrectionPipeline::correct(QString text, CorrectionPipelineConfiguration configuration, CancellationToken token) {
    QStringList chunks;
    try {
        chunks = cloudChunker_.chunks(text);
    } catch (const CorrectionChunkingError&) {
        discardResumeState();
        throw;
    }

    const std::optional<QString> runScope = currentScope();
    prepareResumeState(text, configuration, runScope, chunks.size());
    const quint64 runGeneration = ++generation_;
    const std::optional<QUuid> runResumeId =
        resumeState_ ? std::optional<QUuid>(resumeState_->id) : std::optional<QUuid>();
    const std::weak_ptr<void> alive = lifetime_;

    CorrectionChunkAccumulator accumulator;
    accumulator.reserve(text.size());
    std::optional<QuilloCorrectionRouting> routing;
    std::vector<CloudCorrectionModel> usedModels;
    std::optional<double> charge = 0.0;

    auto ownsResumeState = [&] { return resumeState_ && runResumeId && resumeState_->id == *runResumeId; };

    try {
        for (qsizetype index = 0; index < chunks.size(); ++index) {
            const QString& chunk = chunks.at(index);
            checkCurrent(token, runGeneration, runScope, true);
            if (trimsToEmpty(chunk)) {
                accumulator.appendUnchanged(chunk);
                continue;
            }

            QuilloCorrectionResult result;
            const QuilloCorrectionResult* saved = nullptr;
            if (resumeState_) {
                if (auto it = resumeState_->results.find(int(index)); it != resumeState_->results.end())
                    saved = &it->second;
            }
            if (saved) {
                result = *saved;
                checkCurrent(token, runGeneration, runScope, true);
            } else {
                std::optional<QuilloCorrectionResult> answer = co_await cloudClient_.correctText(
                    chunk, cloudMode, configuration.cloudModel, configuration.writingMode, token);
                if (alive.expired()) throw CancellationError();
                if (!answer) throw CorrectionPipelineError::unavailable();
                result = std::move(*answer);

                // The answer is paid for: keep it even if the run was cancelled meanwhile.
                checkCurrent(token, runGeneration, runScope, false);
                if (ownsResumeState()) {
                    const qsizetype n = utf8ByteCount(result.correction);
                    if (resumeState_->bytes + n <= maximumResumeBytes_) {
                        resumeState_->results.emplace(int(index), result);
                        resumeState_->bytes += n;
                    } else {
                        qCDebug(lcCorrection) << "saved correction progress exceeds its budget; dropped";
                        resumeState_.reset();
                        cancelExpiryTask();
                    }
                }
                checkCurrent(token, runGeneration, runScope, true);
            }

            accumulator.appendCorrection(result.correction, chunk);
            if (!routing && result.routing && result.routing->changed()) routing = result.routing;
            for (CloudCorrectionModel model : result.usedModels) {
                if (std::find(usedModels.begin(), usedModels.end(), model) == usedModels.end())
                    usedModels.push_back(model);
            }
            if (charge && result.chargedCredits) *charge += *result.chargedCredits;
            else charge.reset();
        }
    } catch (const CancellationError&) {
        throw;
    } catch (...) {
        if (alive.expired()) throw;
        if (ownsResumeState() && !resumeState_->results.empty() && now() < resumeState_->expiresAt) {
            std::optional<double> savedCharge = 0.0;
            for (const auto& [savedIndex, savedResult] : resumeState_->results) {
                if (savedCharge && savedResult.chargedCredits) *savedCharge += *savedResult.chargedCredits;
                else savedCharge.reset();
            }
            const int completed = static_cast<int>(resumeState_->results.size());
            qCInfo(lcCorrection).nospace() << "correction failed with " << completed << " chunks saved";
            throw CorrectionPipelineError::partial(std::current_exception(), completed, savedCharge);
        }
        throw;
    }

    if (!accumulator.receivedCorrection) co_return std::nullopt;
    discardResumeState();
    QuilloCorrectionResult combined;
    combined.correction = accumulator.finalizedCorrection().value_or(accumulator.combinedCorrection);
    combined.routing = routing;
    combined.usedModels = std::move(usedModels);
    combined.chargedCredits = charge;
    co_return combined;
}

} // namespace quillo
