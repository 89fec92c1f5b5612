#pragma once

#include <cstdint>

struct wl_interface;
struct wl_proxy;
struct wl_seat;

namespace quillo {

// The client side of the virtual keyboard protocol of wlroots compositors
// (zwp_virtual_keyboard_manager_v1, zwp_virtual_keyboard_v1, version 1). Debian ships no
// description file for it that a build could generate this from, so the interface tables are
// written out here from the protocol's documentation: four requests and no events.
namespace VirtualKeyboardProtocol {

extern const wl_interface managerInterface;
extern const wl_interface keyboardInterface;
inline constexpr const char* managerName = "zwp_virtual_keyboard_manager_v1";

// wl_keyboard's keymap_format.xkb_v1 and key_state values.
inline constexpr std::uint32_t keymapFormatXkbV1 = 1;
inline constexpr std::uint32_t keyReleased = 0;
inline constexpr std::uint32_t keyPressed = 1;

wl_proxy* createKeyboard(wl_proxy* manager, wl_seat* seat);
void keymap(wl_proxy* keyboard, std::uint32_t format, int fd, std::uint32_t size);
void key(wl_proxy* keyboard, std::uint32_t timeMilliseconds, std::uint32_t evdevKey, std::uint32_t state);
void modifiers(wl_proxy* keyboard, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
               std::uint32_t group);
void destroy(wl_proxy* keyboard);

} // namespace VirtualKeyboardProtocol

} // namespace quillo
