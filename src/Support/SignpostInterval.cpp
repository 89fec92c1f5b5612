#include "Support/SignpostInterval.h"

#include "Support/Logging.h"

namespace quillo {

SignpostInterval::SignpostInterval(QString name, Clock& clock)
    : name_(std::move(name)), clock_(clock), start_(clock.uptimeSeconds()) {
    qCDebug(lcInsertionLatency).noquote() << "begin" << name_;
}

SignpostInterval::~SignpostInterval() { end(); }

void SignpostInterval::end() {
    if (ended_) return;
    ended_ = true;
    qCDebug(lcInsertionLatency).noquote() << "end" << name_ << "ms=" << qRound64(elapsedSeconds() * 1000.0);
}

double SignpostInterval::elapsedSeconds() const { return clock_.uptimeSeconds() - start_; }

} // namespace quillo
