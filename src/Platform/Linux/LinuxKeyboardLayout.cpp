#include "Platform/Linux/LinuxKeyboardLayout.h"

#include "Support/Logging.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>
// xcb's XKB header names a member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

namespace quillo {

struct LinuxKeyboardLayout::Xkb {
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
    ~Xkb() {
        if (state) xkb_state_unref(state);
        if (keymap) xkb_keymap_unref(keymap);
        if (context) xkb_context_unref(context);
    }
};

namespace {

// The XKB events share a header that names their kind.
struct XkbAnyEvent {
    uint8_t response_type;
    uint8_t xkbType;
    uint16_t sequence;
    xcb_timestamp_t time;
    uint8_t deviceID;
};

bool selectXkbEvents(xcb_connection_t* connection, qint32 deviceId) {
    constexpr uint16_t events =
        XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                  XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                  XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                  XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    // Only group changes matter here; modifier presses would only make noise.
    constexpr uint16_t stateDetails = XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH |
                                      XCB_XKB_STATE_PART_GROUP_LOCK | XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = stateDetails;
    details.stateDetails = stateDetails;
    xcb_void_cookie_t cookie = xcb_xkb_select_events_aux_checked(
        connection, static_cast<xcb_xkb_device_spec_t>(deviceId), events, 0, 0, mapParts, mapParts, &details);
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    if (error) {
        std::free(error);
        return false;
    }
    return true;
}

} // namespace

LinuxKeyboardLayout::LinuxKeyboardLayout(QObject* parent) : QObject(parent), xkb_(std::make_unique<Xkb>()) {
    int screen = 0;
    connection_ = xcb_connect(nullptr, &screen);
    if (!connection_ || xcb_connection_has_error(connection_)) {
        qCWarning(lcTextInsertion) << "Keyboard layout unavailable: no X display";
        return;
    }
    uint8_t firstError = 0;
    if (!xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &firstXkbEvent_,
                                     &firstError)) {
        qCWarning(lcTextInsertion) << "Keyboard layout unavailable: the X server lacks XKB";
        return;
    }
    deviceId_ = xkb_x11_get_core_keyboard_device_id(connection_);
    xkb_->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (deviceId_ < 0 || !xkb_->context) return;
    selectXkbEvents(connection_, deviceId_);
    reloadKeymap();
    notifier_ = new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { processPendingEvents(); });
}

LinuxKeyboardLayout::~LinuxKeyboardLayout() {
    delete notifier_;
    xkb_.reset();
    if (connection_) xcb_disconnect(connection_);
}

void LinuxKeyboardLayout::reloadKeymap() const {
    auto* xkb = xkb_.get();
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(xkb->context, connection_, deviceId_, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return;
    xkb_state* state = xkb_x11_state_new_from_device(keymap, connection_, deviceId_);
    if (xkb->state) xkb_state_unref(xkb->state);
    if (xkb->keymap) xkb_keymap_unref(xkb->keymap);
    xkb->keymap = keymap;
    xkb->state = state;
    const quint32 group = state ? xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    lookup_ = XkbKeymapLookup(keymap, group);
}

void LinuxKeyboardLayout::processPendingEvents() const {
    if (!connection_ || xcb_connection_has_error(connection_)) return;
    bool reload = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7f) == firstXkbEvent_) {
            const auto* any = reinterpret_cast<const XkbAnyEvent*>(event);
            if (any->deviceID == deviceId_ || any->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) {
                switch (any->xkbType) {
                case XCB_XKB_NEW_KEYBOARD_NOTIFY:
                case XCB_XKB_MAP_NOTIFY: reload = true; break;
                case XCB_XKB_STATE_NOTIFY: {
                    const auto* s = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
                    if (xkb_->state) {
                        xkb_state_update_mask(xkb_->state, s->baseMods, s->latchedMods, s->lockedMods,
                                              static_cast<xkb_layout_index_t>(s->baseGroup),
                                              static_cast<xkb_layout_index_t>(s->latchedGroup),
                                              static_cast<xkb_layout_index_t>(s->lockedGroup));
                        lookup_.setActiveGroup(xkb_state_serialize_layout(xkb_->state, XKB_STATE_LAYOUT_EFFECTIVE));
                    }
                    break;
                }
                default: break;
                }
            }
        }
        std::free(event);
    }
    if (reload) reloadKeymap();
}

bool LinuxKeyboardLayout::isAvailable() const {
    processPendingEvents();
    return lookup_.isValid();
}

std::optional<QString> LinuxKeyboardLayout::characters(quint16 keyCode) const {
    processPendingEvents();
    return lookup_.characters(keyCode);
}

std::optional<quint16> LinuxKeyboardLayout::keyCode(QChar character) const {
    processPendingEvents();
    return lookup_.keyCode(character);
}

quint32 LinuxKeyboardLayout::activeGroup() const {
    processPendingEvents();
    return lookup_.activeGroup();
}

} // namespace quillo
