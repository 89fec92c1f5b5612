#include "Support/Clock.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <unordered_map>

namespace quillo {

struct SleepAwaiter::State {
    std::coroutine_handle<> handle;
    Clock* clock = nullptr;
    Clock::TimerId timer = 0;
    CancellationRegistration registration;
    bool finished = false;
    bool elapsed = false;
};

void SleepAwaiter::await_suspend(std::coroutine_handle<> handle) {
    auto state = std::make_shared<State>();
    state->handle = handle;
    state->clock = clock_;
    state_ = state;
    std::weak_ptr<State> weak = state;
    state->timer = clock_->schedule(seconds_, [weak] {
        auto s = weak.lock();
        if (!s || s->finished) return;
        s->finished = true;
        s->elapsed = true;
        s->registration.reset();
        s->handle.resume();
    });
    state->registration = token_.onCancel([weak] {
        auto s = weak.lock();
        if (!s || s->finished) return;
        s->finished = true;
        s->elapsed = false;
        s->clock->cancelScheduled(s->timer);
        s->handle.resume();
    });
    if (wakeup_ && !state->finished) {
        auto& sleepers = wakeup_->sleepers_;
        std::erase_if(sleepers, [](const auto& sleeper) { return sleeper.expired(); });
        sleepers.push_back(weak);
    }
}

void SleepWakeup::wake() {
    auto sleepers = std::move(sleepers_);
    sleepers_.clear();
    for (const auto& weak : sleepers) {
        auto s = weak.lock();
        if (!s || s->finished) continue;
        s->finished = true;
        s->elapsed = false;
        s->registration.reset();
        s->clock->cancelScheduled(s->timer);
        s->timer = s->clock->schedule(0.0, [weak] {
            if (auto woken = weak.lock()) woken->handle.resume();
        });
    }
}

bool SleepAwaiter::await_resume() const noexcept {
    if (!state_) return !token_.isCancelled();
    return state_->elapsed;
}

QCoro::Task<> Clock::sleepOrThrow(double seconds, CancellationToken token) {
    const bool elapsed = co_await sleep(seconds, token);
    if (!elapsed) throw CancellationError();
}

namespace {
Clock* g_sharedOverride = nullptr;
} // namespace

Clock& Clock::shared() {
    if (g_sharedOverride) return *g_sharedOverride;
    static SystemClock systemClock;
    return systemClock;
}

void Clock::setShared(Clock* clock) { g_sharedOverride = clock; }

struct SystemClock::Impl {
    QObject context;
    TimerId nextId = 1;
    std::unordered_map<TimerId, QTimer*> timers;
};

SystemClock::SystemClock() : impl_(std::make_unique<Impl>()) {}
SystemClock::~SystemClock() = default;

double SystemClock::uptimeSeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

QDateTime SystemClock::now() const { return QDateTime::currentDateTimeUtc(); }

Clock::TimerId SystemClock::schedule(double delaySeconds, std::function<void()> callback) {
    const TimerId id = impl_->nextId++;
    auto* timer = new QTimer(&impl_->context);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    const double ms = std::ceil(std::max(0.0, delaySeconds) * 1000.0);
    timer->setInterval(static_cast<int>(std::min(ms, 2147483647.0)));
    QObject::connect(timer, &QTimer::timeout, &impl_->context, [this, id, timer, cb = std::move(callback)] {
        impl_->timers.erase(id);
        timer->deleteLater();
        cb();
    });
    impl_->timers.emplace(id, timer);
    timer->start();
    return id;
}

void SystemClock::cancelScheduled(TimerId id) {
    auto it = impl_->timers.find(id);
    if (it == impl_->timers.end()) return;
    it->second->stop();
    it->second->deleteLater();
    impl_->timers.erase(it);
}

} // namespace quillo
