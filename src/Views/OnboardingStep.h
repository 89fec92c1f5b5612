#pragma once

#include <QString>
#include <array>
#include <optional>

namespace quillo {

// The pages of the onboarding walkthrough, in the order they are shown.
enum class OnboardingStep { welcome, permissions, account, shortcut, selection, privacy, ready };

namespace OnboardingSteps {
inline constexpr std::array<OnboardingStep, 7> allCases{
    OnboardingStep::welcome,   OnboardingStep::permissions, OnboardingStep::account, OnboardingStep::shortcut,
    OnboardingStep::selection, OnboardingStep::privacy,     OnboardingStep::ready};
// The short name in the window's step list.
QString title(OnboardingStep step);
std::optional<OnboardingStep> next(OnboardingStep step);
std::optional<OnboardingStep> previous(OnboardingStep step);
// The practice steps: the only ones that listen for the trigger.
bool isPractice(OnboardingStep step);
} // namespace OnboardingSteps

} // namespace quillo
