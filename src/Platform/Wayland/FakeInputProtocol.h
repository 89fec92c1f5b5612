#pragma once

#include <cstdint>

struct wl_interface;
struct wl_proxy;

namespace quillo {

// The client side of KWin's fake input protocol (org_kde_kwin_fake_input, version 4), of which
// only authentication and keyboard keys are used. KWin offers the global only to programs whose
// desktop entry asks for it (X-KDE-Wayland-Interfaces). The interface table is written out
// from the protocol's description, so the build needs no KDE package: eleven requests, no events.
namespace FakeInputProtocol {

extern const wl_interface interface;
inline constexpr const char* name = "org_kde_kwin_fake_input";
// keyboard_key arrived in version 4.
inline constexpr std::uint32_t keyboardVersion = 4;

inline constexpr std::uint32_t keyReleased = 0;
inline constexpr std::uint32_t keyPressed = 1;

void authenticate(wl_proxy* fakeInput, const char* application, const char* reason);
void keyboardKey(wl_proxy* fakeInput, std::uint32_t evdevKey, std::uint32_t state);

} // namespace FakeInputProtocol

} // namespace quillo
