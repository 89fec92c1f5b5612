#pragma once

namespace quillo {

// Which form the onboarding account step shows.
enum class OnboardingAuthMode { createAccount, signIn };

} // namespace quillo
