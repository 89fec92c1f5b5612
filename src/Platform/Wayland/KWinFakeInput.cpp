#include "Platform/Wayland/KWinFakeInput.h"

#include "Models/ModifierFlags.h"
#include "Platform/Linux/LinuxKeyCodeTable.h"
#include "Platform/Wayland/FakeInputProtocol.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Support/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <xkbcommon/xkbcommon.h>

namespace quillo {

namespace {

// linux/input-event-codes.h
constexpr quint32 leftControl = 29;
constexpr quint32 leftShift = 42;
constexpr quint32 leftAlt = 56;
constexpr quint32 leftMeta = 125;

// A layout switch must not stall a key press: KWin answers at once or not at all.
constexpr int layoutQueryTimeoutMs = 200;

} // namespace

KWinFakeInput::KWinFakeInput(WaylandConnection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!connection_.fakeInput()) {
        qCWarning(lcTextInsertion, "KWin shows no fake input to Quillo; synthetic keys cannot be sent");
        return;
    }
    FakeInputProtocol::authenticate(connection_.fakeInput(), "Quillo",
                                    "Copies and pastes the text it corrects in the focused field");
    connection_.flush();
    adoptSeatKeymap();
    connect(&connection_, &WaylandConnection::seatKeymapChanged, this, &KWinFakeInput::adoptSeatKeymap);
}

KWinFakeInput::~KWinFakeInput() {
    // Never leave a modifier down in the user's session.
    if (connection_.fakeInput()) {
        for (qsizetype i = held_.size() - 1; i >= 0; --i)
            FakeInputProtocol::keyboardKey(connection_.fakeInput(), held_[i], FakeInputProtocol::keyReleased);
        connection_.flush();
    }
    if (context_) xkb_context_unref(context_);
}

void KWinFakeInput::adoptSeatKeymap() {
    const QByteArray& text = connection_.seatKeymap();
    if (text.isEmpty() || !context_) return;
    xkb_keymap* keymap =
        xkb_keymap_new_from_string(context_, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return;
    lookup_ = XkbKeymapLookup(keymap, 0);
    xkb_keymap_unref(keymap);
}

std::optional<quint32> KWinFakeInput::activeLayout() {
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) return std::nullopt;
    const QDBusMessage request =
        QDBusMessage::createMethodCall(QStringLiteral("org.kde.keyboard"), QStringLiteral("/Layouts"),
                                       QStringLiteral("org.kde.KeyboardLayouts"), QStringLiteral("getLayout"));
    const QDBusMessage reply = session.call(request, QDBus::Block, layoutQueryTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    bool ok = false;
    const quint32 layout = reply.arguments().first().toUInt(&ok);
    return ok ? std::optional<quint32>(layout) : std::nullopt;
}

const XkbKeymapLookup& KWinFakeInput::lookup() const {
    if (lookup_.isValid() && lookup_.groupCount() > 1)
        if (const auto layout = activeLayout(); layout && *layout < lookup_.groupCount())
            lookup_.setActiveGroup(*layout);
    return lookup_;
}

bool KWinFakeInput::isAvailable() const { return connection_.fakeInput() != nullptr && lookup_.isValid(); }

QList<quint32> KWinFakeInput::modifierKeys(quint64 flags) {
    QList<quint32> keys;
    if (flags & ModifierFlags::control) keys.append(leftControl);
    if (flags & ModifierFlags::shift) keys.append(leftShift);
    if (flags & ModifierFlags::option) keys.append(leftAlt);
    if (flags & ModifierFlags::command) keys.append(leftMeta);
    return keys;
}

bool KWinFakeInput::post(const SyntheticKeystroke& keystroke) {
    wl_proxy* fakeInput = connection_.fakeInput();
    if (!fakeInput) return false;
    const auto evdev = LinuxKeyCodeTable::evdevCode(keystroke.keyCode);
    if (!evdev) return false;
    const QList<quint32> modifiers = modifierKeys(keystroke.modifierFlags);
    if (keystroke.keyDown) {
        for (quint32 modifier : modifiers) {
            FakeInputProtocol::keyboardKey(fakeInput, modifier, FakeInputProtocol::keyPressed);
            held_.append(modifier);
        }
        FakeInputProtocol::keyboardKey(fakeInput, *evdev, FakeInputProtocol::keyPressed);
    } else {
        FakeInputProtocol::keyboardKey(fakeInput, *evdev, FakeInputProtocol::keyReleased);
        for (qsizetype i = modifiers.size() - 1; i >= 0; --i) {
            FakeInputProtocol::keyboardKey(fakeInput, modifiers[i], FakeInputProtocol::keyReleased);
            held_.removeOne(modifiers[i]);
        }
    }
    // Answered: KWin has handed the key to the focused client before the next step.
    return connection_.roundtrip();
}

std::optional<QString> KWinFakeInput::characters(quint16 keyCode) const { return lookup().characters(keyCode); }

std::optional<quint16> KWinFakeInput::keyCode(QChar character) const { return lookup().keyCode(character); }

} // namespace quillo
