#include "Platform/Wayland/FakeInputProtocol.h"

#include <wayland-client.h>

namespace quillo::FakeInputProtocol {

namespace {

// No request takes an object, so no argument names an interface.
const wl_interface* noTypes[] = {nullptr, nullptr, nullptr};

// In the protocol's order: the opcode is the index.
const wl_message requests[] = {
    {"authenticate", "ss", noTypes},  {"pointer_motion", "ff", noTypes},
    {"button", "uu", noTypes},        {"axis", "uf", noTypes},
    {"touch_down", "2uff", noTypes},  {"touch_motion", "2uff", noTypes},
    {"touch_up", "2u", noTypes},      {"touch_cancel", "2", noTypes},
    {"touch_frame", "2", noTypes},    {"pointer_motion_absolute", "3ff", noTypes},
    {"keyboard_key", "4uu", noTypes},
};

enum Opcode : std::uint32_t { authenticateOpcode = 0, keyboardKeyOpcode = 10 };

} // namespace

const wl_interface interface = {name, 4, 11, requests, 0, nullptr};

void authenticate(wl_proxy* fakeInput, const char* application, const char* reason) {
    wl_proxy_marshal_flags(fakeInput, authenticateOpcode, nullptr, wl_proxy_get_version(fakeInput), 0, application,
                           reason);
}

void keyboardKey(wl_proxy* fakeInput, std::uint32_t evdevKey, std::uint32_t state) {
    wl_proxy_marshal_flags(fakeInput, keyboardKeyOpcode, nullptr, wl_proxy_get_version(fakeInput), 0, evdevKey, state);
}

} // namespace quillo::FakeInputProtocol
