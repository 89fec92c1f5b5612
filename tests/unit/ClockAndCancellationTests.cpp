#include "Support/Cancellation.h"
#include "Support/Clock.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <QList>
#include <gtest/gtest.h>
#include <vector>

using namespace quillo;

namespace {

QCoro::Task<std::vector<double>> wakeTimes(VirtualClock& clock, std::vector<double> delays, CancellationToken token) {
    std::vector<double> times;
    for (double d : delays) {
        co_await clock.sleepOrThrow(d, token);
        times.push_back(clock.uptimeSeconds());
    }
    co_return times;
}

QCoro::Task<bool> plainSleep(Clock& clock, double seconds, CancellationToken token) {
    co_return co_await clock.sleep(seconds, token);
}

} // namespace

TEST(VirtualClock, SleepsResumeInDueOrderOnlyWhenTimeAdvances) {
    VirtualClock clock;
    const double start = clock.uptimeSeconds();
    auto outcome = observe(wakeTimes(clock, {0.25, 0.5, 2.0}, {}));
    EXPECT_FALSE(outcome->finished);
    clock.advance(0.7);
    EXPECT_FALSE(outcome->finished);
    EXPECT_DOUBLE_EQ(clock.uptimeSeconds(), start + 0.7);
    clock.advance(2.05);
    ASSERT_TRUE(outcome->finished);
    EXPECT_EQ(*outcome->value, (std::vector<double>{start + 0.25, start + 0.75, start + 2.75}));
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST(VirtualClock, WallClockFollowsUptime) {
    VirtualClock clock;
    const auto before = clock.now();
    clock.advance(90.5);
    EXPECT_EQ(before.msecsTo(clock.now()), 90500);
}

TEST(VirtualClock, CancellationWakesSleepEarly) {
    VirtualClock clock;
    CancellationSource source;
    auto throwing = observe(wakeTimes(clock, {600.0}, source.token()));
    auto plain = observe(plainSleep(clock, 600.0, source.token()));
    clock.advance(10);
    source.cancel();
    ASSERT_TRUE(throwing->finished);
    EXPECT_TRUE(throwing->failedWith<CancellationError>());
    ASSERT_TRUE(plain->finished);
    EXPECT_FALSE(*plain->value);
    EXPECT_EQ(clock.pendingTimers(), 0u) << "the cancelled sleeps' timers are withdrawn";
}

TEST(VirtualClock, AlreadyCancelledTokenAndZeroDelayDoNotSuspend) {
    VirtualClock clock;
    CancellationSource source;
    source.cancel();
    auto cancelled = observe(plainSleep(clock, 5, source.token()));
    ASSERT_TRUE(cancelled->finished);
    EXPECT_FALSE(*cancelled->value);
    auto zero = observe(plainSleep(clock, 0, {}));
    ASSERT_TRUE(zero->finished);
    EXPECT_TRUE(*zero->value);
}

TEST(VirtualClock, AWakeupEndsItsSleepsFromTheClockAndNoOthers) {
    VirtualClock clock;
    SleepWakeup wakeup;
    QList<double> woken;
    auto wakeable = [&]() -> QCoro::Task<bool> {
        const bool elapsed = co_await clock.sleep(0.025, {}, wakeup);
        woken.append(clock.uptimeSeconds());
        co_return elapsed;
    };
    const double start = clock.uptimeSeconds();
    auto early = observe(wakeable());
    auto other = observe(plainSleep(clock, 0.025, {}));
    clock.advance(0.005);
    wakeup.wake();
    EXPECT_FALSE(early->finished) << "resumed by the clock, not inside wake()";
    clock.runDue();
    ASSERT_TRUE(early->finished);
    EXPECT_FALSE(*early->value);
    EXPECT_EQ(woken, QList<double>{start + 0.005});
    EXPECT_FALSE(other->finished) << "a plain sleep is not woken";
    wakeup.wake(); // nobody waits any more
    clock.advance(0.02);
    ASSERT_TRUE(other->finished);
    EXPECT_TRUE(*other->value);

    // Woken after its own end, or cancelled: each sleep resumes exactly once.
    CancellationSource source;
    int resumed = 0;
    auto counted = [&]() -> QCoro::Task<> {
        co_await clock.sleep(1.0, source.token(), wakeup);
        ++resumed;
    };
    auto cancelled = observe(counted());
    source.cancel();
    wakeup.wake();
    clock.advance(2.0);
    EXPECT_TRUE(cancelled->finished);
    EXPECT_EQ(resumed, 1);
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST(Cancellation, LinkedSourceFollowsParentAndRegistrationsUnregister) {
    CancellationSource parent;
    CancellationSource child(parent.token());
    int calls = 0;
    auto kept = child.token().onCancel([&] { ++calls; });
    {
        auto dropped = child.token().onCancel([&] { calls += 100; });
    }
    parent.cancel();
    EXPECT_TRUE(child.isCancelled());
    EXPECT_EQ(calls, 1);
    child.cancel(); // idempotent
    EXPECT_EQ(calls, 1);
    auto late = child.token().onCancel([&] { ++calls; });
    EXPECT_EQ(calls, 2) << "registering on a cancelled token runs at once";
    EXPECT_FALSE(CancellationToken().isCancelled());
}
