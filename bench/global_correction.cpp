// What the correction service costs the main thread per key event the tap delivers: every
// event re-reads the trigger settings, so this is the price of seeing a settings change at
// the next press. The last benchmark is the orchestration of one whole correction around an
// instant capture, cloud and paste (the diagnostic log, toast and status calls included).
#include "Models/ModifierFlags.h"
#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeEventTap.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/GlobalCorrectionService.h"
#include "Services/KeyboardPreferences.h"
#include "Services/QuilloDiagnostics.h"
#include "Support/VirtualClock.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace quillo;

namespace {

struct NullToast final : CorrectionToastPresenting {
    void showProcessing() override {}
    void showSuccess(const std::optional<QString>&) override {}
    void showError(const QString&) override {}
    void show(const QString&, const QString&, const std::optional<QString>&) override {}
    void forceDismiss() override {}
};
struct NullAnnouncer final : AccessibilityAnnouncer {
    void announce(const QString&, Priority) override {}
};

struct InstantTarget final : TextTargetProviding {
    QCoro::Task<TextCorrectionCaptureResult> captureTarget(CancellationToken) override {
        co_return TextCorrectionCaptureResult::captured({QStringLiteral("Ths is a short sentence."), 501, true});
    }
    QCoro::Task<TextCorrectionApplicationResult> applyCorrection(TextCorrectionTarget, QString,
                                                                 CancellationToken) override {
        co_return TextCorrectionApplicationResult::applied;
    }
};

struct InstantCloud final : CloudCorrectionProviding {
    QCoro::Task<std::optional<QuilloCorrectionResult>> correctText(QString text, QString, CloudCorrectionModel model,
                                                                   CorrectionWritingMode, CancellationToken) override {
        text.replace(QStringLiteral("Ths"), QStringLiteral("This"));
        co_return QuilloCorrectionResult{text, QuilloCorrectionRouting{model, model, model}, {model}, 1.0};
    }
};

struct Bench {
    VirtualClock clock;
    InMemoryUserDefaults defaults;
    FakeEventTap tap;
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    NullToast toast;
    NullAnnouncer announcer;
    InstantTarget target;
    InstantCloud cloud;
    int completed = 0;
    GlobalCorrectionService service{GlobalCorrectionService::Environment{
                                        defaults, tap, permission, workspace, toast, announcer, nullptr, clock, {}},
                                    &cloud, nullptr, &target, [this](CorrectionStatus status) {
                                        if (status == CorrectionStatus::success) ++completed;
                                    }};

    Bench() {
        permission.trusted = true;
        if (!service.startMonitoring()) std::abort();
    }
    static KeyboardEvent event(KeyboardEvent::Type type, std::uint16_t keyCode, std::uint64_t flags = 0) {
        KeyboardEvent e;
        e.type = type;
        e.keyCode = keyCode;
        e.modifierFlags = flags;
        return e;
    }
};

// An ordinary letter typed with the default (legacy-named) fn / Globe trigger.
void BM_LetterKeyDown_DefaultTrigger(benchmark::State& state) {
    Bench b;
    const auto letter = Bench::event(KeyboardEvent::Type::keyDown, 0);
    for (auto _ : state) b.tap.deliver(letter);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LetterKeyDown_DefaultTrigger);

// The same with a trigger stored in its JSON form, decoded at each event.
void BM_LetterKeyDown_StoredTrigger(benchmark::State& state) {
    Bench b;
    KeyboardPreferences(b.defaults)
        .setTriggerPreference(CorrectionTriggerPreference::storedValue(QString(), QStringLiteral("f8")));
    const auto letter = Bench::event(KeyboardEvent::Type::keyDown, 0);
    for (auto _ : state) b.tap.deliver(letter);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LetterKeyDown_StoredTrigger);

// A modifier that is not the trigger (Shift down and up).
void BM_OtherModifierChange(benchmark::State& state) {
    Bench b;
    const auto down = Bench::event(KeyboardEvent::Type::flagsChanged, 56, ModifierFlags::shift);
    const auto up = Bench::event(KeyboardEvent::Type::flagsChanged, 56, 0);
    for (auto _ : state) {
        b.tap.deliver(down);
        b.tap.deliver(up);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_OtherModifierChange);

// A Globe press and release that counts as the first tap of a double tap, so no correction
// starts: the full gesture path per pair of events.
void BM_GlobePressAndRelease_FirstOfDoubleTap(benchmark::State& state) {
    Bench b;
    b.defaults.setString(KeyboardSettingsKeys::triggerActivation, QStringLiteral("doubleTap"));
    const auto down = Bench::event(KeyboardEvent::Type::flagsChanged, 63, ModifierFlags::function);
    const auto up = Bench::event(KeyboardEvent::Type::flagsChanged, 63, 0);
    for (auto _ : state) {
        b.tap.deliver(down);
        b.tap.deliver(up);
        b.clock.advance(1.0); // too late for a pair with the next one
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_GlobePressAndRelease_FirstOfDoubleTap);

// A trigger while a correction runs: refused with the processing toast.
void BM_TriggerWhileRunning(benchmark::State& state) {
    Bench b;
    b.service.triggerCorrection(); // scheduled, not run: the clock does not move
    for (auto _ : state) b.service.triggerCorrection();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TriggerWhileRunning);

// One whole correction around instant collaborators: trigger, capture, pipeline, paste,
// history-free success, five status/toast calls and two diagnostic events.
void BM_WholeCorrectionOrchestration(benchmark::State& state) {
    Bench b;
    for (auto _ : state) {
        b.service.triggerCorrection();
        b.clock.runDue();
    }
    if (b.completed != static_cast<int>(state.iterations())) state.SkipWithError("a correction did not complete");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WholeCorrectionOrchestration);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    QTemporaryDir folder;
    QuilloDiagnosticLogStore store;
    store.logURL = QuilloDiagnosticLogStore::logPath(folder.filePath(QStringLiteral("Quillo Test")));
    const auto previous = QuilloDiagnostics::replaceStore(store);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QuilloDiagnostics::flush();
    QuilloDiagnostics::replaceStore(previous);
    return 0;
}
