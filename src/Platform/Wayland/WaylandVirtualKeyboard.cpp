#include "Platform/Wayland/WaylandVirtualKeyboard.h"

#include "Models/ModifierFlags.h"
#include "Platform/Linux/LinuxKeyCodeTable.h"
#include "Platform/Wayland/VirtualKeyboardProtocol.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Support/Logging.h"

#include <ctime>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace quillo {

namespace {

std::uint32_t nowMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// The keymap text as libxkbcommon writes it, which is also how the compositor sends it back.
QByteArray serializedKeymap(xkb_keymap* keymap) {
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) return {};
    QByteArray bytes(text);
    std::free(text); // NOLINT(cppcoreguidelines-no-malloc): libxkbcommon's allocation
    return bytes;
}

// A file the compositor can map: the keymap text with its NUL.
int keymapFile(const QByteArray& text) {
    const int fd = ::memfd_create("quillo-keymap", MFD_CLOEXEC);
    if (fd < 0) return -1;
    const auto size = static_cast<size_t>(text.size()) + 1;
    if (::write(fd, text.constData(), size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

WaylandVirtualKeyboard::WaylandVirtualKeyboard(WaylandConnection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!connection_.isConnected() || !connection_.virtualKeyboardManager() || !connection_.seat()) {
        qCWarning(lcTextInsertion, "The compositor offers no virtual keyboard; synthetic keys cannot be sent");
        return;
    }
    keyboard_ = VirtualKeyboardProtocol::createKeyboard(connection_.virtualKeyboardManager(), connection_.seat());
    adoptSeatKeymap();
    if (!keymap_ && context_) {
        // No keyboard on the seat yet: the layout the environment names, else the XKB default.
        useKeymap(xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
    upload();
    connect(&connection_, &WaylandConnection::seatKeymapChanged, this, [this] {
        adoptSeatKeymap();
        upload();
    });
}

WaylandVirtualKeyboard::~WaylandVirtualKeyboard() {
    if (keyboard_) {
        VirtualKeyboardProtocol::destroy(keyboard_);
        connection_.flush();
    }
    if (context_) xkb_context_unref(context_);
}

void WaylandVirtualKeyboard::adoptSeatKeymap() {
    const QByteArray& announced = connection_.seatKeymap();
    // Our own keymap coming back while our keyboard is the seat's active one.
    if (announced.isEmpty() || announced == uploaded_ || !context_) return;
    useKeymap(xkb_keymap_new_from_string(context_, announced.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                         XKB_KEYMAP_COMPILE_NO_FLAGS));
}

bool WaylandVirtualKeyboard::useKeymap(xkb_keymap* keymap) {
    if (!keymap) return false;
    keymap_ = std::shared_ptr<xkb_keymap>(keymap, [](xkb_keymap* k) { xkb_keymap_unref(k); });
    lookup_ = XkbKeymapLookup(keymap, 0);
    typesLatin_ = typesLatinLetters(lookup_);
    return true;
}

bool WaylandVirtualKeyboard::typesLatinLetters(const XkbKeymapLookup& lookup) {
    for (quint32 group = 0; group < lookup.groupCount(); ++group)
        for (quint16 code = 0; code <= 127; ++code) {
            const auto typed = lookup.characters(code, group);
            if (typed && typed->size() == 1 && typed->at(0).toLower() >= u'a' && typed->at(0).toLower() <= u'z')
                return true;
        }
    return false;
}

xkb_keymap* WaylandVirtualKeyboard::sentKeymap() const {
    if (typesLatin_ || !keymap_) return keymap_.get();
    static const XkbKeymapLookup latin = XkbKeymapLookup::fromNames(QStringLiteral("us"));
    return latin.isValid() ? latin.keymap() : keymap_.get();
}

bool WaylandVirtualKeyboard::upload() {
    xkb_keymap* keymap = sentKeymap();
    if (!keyboard_ || !keymap) return false;
    const QByteArray text = serializedKeymap(keymap);
    if (text.isEmpty()) return false;
    if (keymapSent_ && text == uploaded_) return true;
    const int fd = keymapFile(text);
    if (fd < 0) return false;
    VirtualKeyboardProtocol::keymap(keyboard_, VirtualKeyboardProtocol::keymapFormatXkbV1, fd,
                                    static_cast<std::uint32_t>(text.size() + 1));
    ::close(fd);
    connection_.flush();
    uploaded_ = text;
    keymapSent_ = true;
    return true;
}

bool WaylandVirtualKeyboard::isAvailable() const { return keyboard_ && keymapSent_; }

quint32 WaylandVirtualKeyboard::modifierMask(quint64 flags) const { return modifierMask(sentKeymap(), flags); }

quint32 WaylandVirtualKeyboard::modifierMask(xkb_keymap* keymap, quint64 flags) {
    if (!keymap) return 0;
    struct Name {
        quint64 flag;
        const char* name;
    };
    static constexpr Name names[] = {{ModifierFlags::control, XKB_MOD_NAME_CTRL},
                                     {ModifierFlags::shift, XKB_MOD_NAME_SHIFT},
                                     {ModifierFlags::option, XKB_MOD_NAME_ALT},
                                     {ModifierFlags::command, XKB_MOD_NAME_LOGO}};
    quint32 mask = 0;
    for (const Name& name : names) {
        if (!(flags & name.flag)) continue;
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name.name);
        if (index != XKB_MOD_INVALID && index < 32) mask |= 1U << index;
    }
    return mask;
}

bool WaylandVirtualKeyboard::post(const SyntheticKeystroke& keystroke) {
    if (!isAvailable()) return false;
    const auto evdev = LinuxKeyCodeTable::evdevCode(keystroke.keyCode);
    if (!evdev) return false;
    // The Latin keymap sent in place of the user's has a single group.
    const std::uint32_t group = typesLatin_ ? lookup_.activeGroup() : 0;
    if (keystroke.keyDown) {
        VirtualKeyboardProtocol::modifiers(keyboard_, modifierMask(keystroke.modifierFlags), 0, 0, group);
        VirtualKeyboardProtocol::key(keyboard_, nowMilliseconds(), *evdev, VirtualKeyboardProtocol::keyPressed);
    } else {
        VirtualKeyboardProtocol::key(keyboard_, nowMilliseconds(), *evdev, VirtualKeyboardProtocol::keyReleased);
        VirtualKeyboardProtocol::modifiers(keyboard_, 0, 0, 0, group);
    }
    // Sent now and answered: the next step (reading the clipboard) must come after the key.
    return connection_.roundtrip();
}

std::optional<QString> WaylandVirtualKeyboard::characters(quint16 keyCode) const { return lookup_.characters(keyCode); }

std::optional<quint16> WaylandVirtualKeyboard::keyCode(QChar character) const { return lookup_.keyCode(character); }

} // namespace quillo
