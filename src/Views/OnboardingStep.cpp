#include "Views/OnboardingStep.h"

namespace quillo {

namespace OnboardingSteps {

QString title(OnboardingStep step) {
    switch (step) {
    case OnboardingStep::welcome: return QStringLiteral("Welcome");
    case OnboardingStep::permissions: return QStringLiteral("Permissions");
    case OnboardingStep::account: return QStringLiteral("Account");
    case OnboardingStep::shortcut: return QStringLiteral("Shortcut");
    case OnboardingStep::selection: return QStringLiteral("Selection");
    case OnboardingStep::privacy: return QStringLiteral("Privacy");
    case OnboardingStep::ready: return QStringLiteral("Ready");
    }
    return {};
}

std::optional<OnboardingStep> next(OnboardingStep step) {
    const auto index = static_cast<std::size_t>(step) + 1;
    if (index >= allCases.size()) return std::nullopt;
    return allCases[index];
}

std::optional<OnboardingStep> previous(OnboardingStep step) {
    const auto index = static_cast<std::size_t>(step);
    if (index == 0) return std::nullopt;
    return allCases[index - 1];
}

bool isPractice(OnboardingStep step) { return step == OnboardingStep::shortcut || step == OnboardingStep::selection; }

} // namespace OnboardingSteps

} // namespace quillo
