#include "Platform/Wayland/VirtualKeyboardProtocol.h"

#include <wayland-client.h>

namespace quillo::VirtualKeyboardProtocol {

namespace {

// Argument types of each request, in order: objects name their interface, the rest none.
// libwayland's message table takes them as non-const pointers it never writes through.
const wl_interface* createTypes[] = {&wl_seat_interface, &keyboardInterface};
const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr};

const wl_message managerRequests[] = {
    {"create_virtual_keyboard", "on", createTypes},
};

const wl_message keyboardRequests[] = {
    {"keymap", "uhu", noTypes},
    {"key", "uuu", noTypes},
    {"modifiers", "uuuu", noTypes},
    {"destroy", "", noTypes},
};

enum KeyboardOpcode : std::uint32_t { keymapOpcode = 0, keyOpcode = 1, modifiersOpcode = 2, destroyOpcode = 3 };

} // namespace

const wl_interface managerInterface = {managerName, 1, 1, managerRequests, 0, nullptr};
const wl_interface keyboardInterface = {"zwp_virtual_keyboard_v1", 1, 4, keyboardRequests, 0, nullptr};

wl_proxy* createKeyboard(wl_proxy* manager, wl_seat* seat) {
    return wl_proxy_marshal_flags(manager, 0, &keyboardInterface, wl_proxy_get_version(manager), 0, seat, nullptr);
}

void keymap(wl_proxy* keyboard, std::uint32_t format, int fd, std::uint32_t size) {
    wl_proxy_marshal_flags(keyboard, keymapOpcode, nullptr, wl_proxy_get_version(keyboard), 0, format, fd, size);
}

void key(wl_proxy* keyboard, std::uint32_t timeMilliseconds, std::uint32_t evdevKey, std::uint32_t state) {
    wl_proxy_marshal_flags(keyboard, keyOpcode, nullptr, wl_proxy_get_version(keyboard), 0, timeMilliseconds, evdevKey,
                           state);
}

void modifiers(wl_proxy* keyboard, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
               std::uint32_t group) {
    wl_proxy_marshal_flags(keyboard, modifiersOpcode, nullptr, wl_proxy_get_version(keyboard), 0, depressed, latched,
                           locked, group);
}

void destroy(wl_proxy* keyboard) {
    wl_proxy_marshal_flags(keyboard, destroyOpcode, nullptr, wl_proxy_get_version(keyboard), WL_MARSHAL_FLAG_DESTROY);
}

} // namespace quillo::VirtualKeyboardProtocol
