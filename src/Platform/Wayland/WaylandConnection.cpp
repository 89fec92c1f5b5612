#include "Platform/Wayland/WaylandConnection.h"

#include "Platform/Wayland/FakeInputProtocol.h"
#include "Platform/Wayland/VirtualKeyboardProtocol.h"
#include "Support/Logging.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace quillo {

struct WaylandConnectionListeners {
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        static_cast<WaylandConnection*>(data)->bindGlobal(registry, name, interface, version);
    }
    static void globalRemove(void*, wl_registry*, std::uint32_t) {}
    static void capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
        static_cast<WaylandConnection*>(data)->setSeatCapabilities(capabilities);
    }
    static void seatName(void*, wl_seat*, const char*) {}
    static void keymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
        static_cast<WaylandConnection*>(data)->receiveKeymap(format, fd, size);
    }
    static void enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
    static void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
    static void key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    static void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t) {}
    static void repeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

    static constexpr wl_registry_listener registry{global, globalRemove};
    static constexpr wl_seat_listener seat{capabilities, seatName};
    static constexpr wl_keyboard_listener keyboard{keymap, enter, leave, key, modifiers, repeatInfo};
};

WaylandConnection::WaylandConnection(QObject* parent) : QObject(parent) {
    display_ = wl_display_connect(nullptr);
    if (!display_) {
        qCWarning(lcInputMonitoring, "No Wayland display to connect to");
        return;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &WaylandConnectionListeners::registry, this);
    // Globals first, then the seat's capabilities and the keyboard's keymap.
    wl_display_roundtrip(display_);
    wl_display_roundtrip(display_);
    wl_display_roundtrip(display_);
    notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &WaylandConnection::dispatch);
    // Requests made between two turns of the loop are sent before it waits.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            wl_display_dispatch_pending(display_);
            wl_display_flush(display_);
        });
}

WaylandConnection::~WaylandConnection() {
    if (!display_) return;
    delete notifier_;
    if (keyboard_) wl_keyboard_release(keyboard_);
    if (dataControlManager_) zwlr_data_control_manager_v1_destroy(dataControlManager_);
    if (virtualKeyboardManager_) wl_proxy_destroy(virtualKeyboardManager_);
    if (fakeInput_) wl_proxy_destroy(fakeInput_);
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void WaylandConnection::bindGlobal(wl_registry* registry, std::uint32_t name, const char* interface,
                                   std::uint32_t version) {
    const auto is = [interface](const char* wanted) { return std::strcmp(interface, wanted) == 0; };
    if (is(wl_seat_interface.name) && !seat_) {
        // The first seat is the user's; version 5 has wl_keyboard.release.
        seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5U)));
        wl_seat_add_listener(seat_, &WaylandConnectionListeners::seat, this);
    } else if (is(VirtualKeyboardProtocol::managerName)) {
        virtualKeyboardManager_ =
            static_cast<wl_proxy*>(wl_registry_bind(registry, name, &VirtualKeyboardProtocol::managerInterface, 1));
    } else if (is(dataControlManagerName)) {
        dataControlManager_ = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, std::min(version, 2U)));
    } else if (is(FakeInputProtocol::name) && version >= FakeInputProtocol::keyboardVersion && !fakeInput_) {
        fakeInput_ = static_cast<wl_proxy*>(
            wl_registry_bind(registry, name, &FakeInputProtocol::interface, FakeInputProtocol::keyboardVersion));
    }
}

void WaylandConnection::setSeatCapabilities(std::uint32_t capabilities) {
    const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (hasKeyboard && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &WaylandConnectionListeners::keyboard, this);
    } else if (!hasKeyboard && keyboard_) {
        wl_keyboard_release(keyboard_);
        keyboard_ = nullptr;
    }
}

void WaylandConnection::receiveKeymap(std::uint32_t format, int fd, std::uint32_t size) {
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            // The text ends with its NUL.
            QByteArray text(static_cast<const char*>(mapped),
                            static_cast<qsizetype>(::strnlen(static_cast<const char*>(mapped), size)));
            ::munmap(mapped, size);
            if (text != seatKeymap_) {
                seatKeymap_ = std::move(text);
                emit seatKeymapChanged();
            }
        }
    }
    ::close(fd);
}

void WaylandConnection::dispatch() {
    if (wl_display_dispatch(display_) == -1) {
        qCWarning(lcInputMonitoring, "The Wayland connection broke");
        notifier_->setEnabled(false);
    }
}

bool WaylandConnection::roundtrip() { return display_ && wl_display_roundtrip(display_) != -1; }

void WaylandConnection::flush() {
    if (display_) wl_display_flush(display_);
}

} // namespace quillo
