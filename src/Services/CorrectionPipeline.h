#pragma once

#include "Models/CorrectionModels.h"
#include "Services/CloudCorrectionProviding.h"
#include "Services/CorrectionPipelineError.h"
#include "Support/Cancellation.h"
#include "Support/Clock.h"
#include "Support/CorrectionChunker.h"

#include <QString>
#include <QUuid>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

// Turns one captured text into one corrected text: cuts it into chunks, sends each non-blank chunk
// to the cloud client in turn and joins the answers, keeping each chunk's edge white space.
// Corrected chunks of a multi-chunk text are kept for a while so that a retry of the same text,
// settings and session after a failure does not pay for them again.
// Main-thread only; a newer correct(), a session change or a cancellation stops an older run
// at its next check.
class CorrectionPipeline {
public:
    // The signed-in session's identity; none when nobody is signed in.
    using SessionScope = std::function<std::optional<QString>()>;

    static constexpr double defaultRetentionSeconds = 600.0;
    static constexpr qsizetype defaultMaximumResumeBytes = 1'000'000;
    inline static const QString cloudMode = QStringLiteral("cloud_fast");

    // `cloudClient` must outlive the pipeline. Expiry times are read from `clock`'s uptime.
    CorrectionPipeline(CloudCorrectionProviding& cloudClient, qsizetype cloudChunkCharacters, SessionScope sessionScope,
                       double retentionSeconds = defaultRetentionSeconds, Clock& clock = Clock::shared());
    ~CorrectionPipeline();
    CorrectionPipeline(const CorrectionPipeline&) = delete;
    CorrectionPipeline& operator=(const CorrectionPipeline&) = delete;

    // The corrected text with its routing, models and charge; none when every chunk was blank.
    // Throws CorrectionChunkingError, CancellationError (cancelled, superseded, or session
    // changed), CorrectionPipelineError, or the cloud client's own errors.
    QCoro::Task<std::optional<QuilloCorrectionResult>>
    correct(QString text, CorrectionPipelineConfiguration configuration, CancellationToken token = {});

    // Drops saved progress and stops its expiry. Call whenever the session scope changes.
    void discardResumeState();

    bool hasResumeState() const { return resumeState_.has_value(); }
    int savedChunkCount() const { return resumeState_ ? static_cast<int>(resumeState_->results.size()) : 0; }
    qsizetype maximumResumeBytes() const { return maximumResumeBytes_; }
    double retentionSeconds() const { return retentionSeconds_; }
    const CorrectionChunker& chunker() const { return cloudChunker_; }

private:
    struct ResumeState {
        QUuid id;
        QString original;
        CorrectionPipelineConfiguration configuration;
        QString scope;
        double expiresAt = 0;
        std::map<int, QuilloCorrectionResult> results; // by chunk index, as the cloud returned them
        qsizetype bytes = 0;                           // UTF-8 bytes of original plus saved corrections
    };

    double now() const { return clock_.uptimeSeconds(); }
    std::optional<QString> currentScope() const { return sessionScope_ ? sessionScope_() : std::nullopt; }
    void prepareResumeState(const QString& text, const CorrectionPipelineConfiguration& configuration,
                            const std::optional<QString>& scope, qsizetype chunkCount);
    void startExpiryTask(const QUuid& stateId);
    void cancelExpiryTask();
    void checkCurrent(const CancellationToken& token, quint64 runGeneration, const std::optional<QString>& runScope,
                      bool includeCancellation) const;
    static QCoro::Task<> expire(Clock& clock, double seconds, CancellationToken token, std::weak_ptr<void> alive,
                                CorrectionPipeline* pipeline, QUuid stateId);

    CloudCorrectionProviding& cloudClient_;
    CorrectionChunker cloudChunker_;
    SessionScope sessionScope_;
    double retentionSeconds_;
    qsizetype maximumResumeBytes_ = defaultMaximumResumeBytes;
    Clock& clock_;
    std::optional<ResumeState> resumeState_;
    std::unique_ptr<CancellationSource> expiryTask_;
    quint64 generation_ = 0;
    // Suspended runs and the expiry task hold this weakly to notice the pipeline is gone.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

} // namespace quillo
