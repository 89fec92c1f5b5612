#include "Platform/Linux/QtLocalKeyEventMonitor.h"

#include "Platform/Linux/LinuxKeyCodeTable.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>

namespace quillo {

class QtLocalKeyEventMonitor::Token final : public Installation {
public:
    Token(QtLocalKeyEventMonitor* owner, std::shared_ptr<Entry> entry) : owner_(owner), entry_(std::move(entry)) {}
    ~Token() override {
        if (owner_) owner_->entries_.removeAll(entry_);
    }

private:
    QPointer<QtLocalKeyEventMonitor> owner_;
    std::shared_ptr<Entry> entry_;
};

QtLocalKeyEventMonitor::QtLocalKeyEventMonitor(QObject* parent) : QObject(parent) {
    if (auto* application = QCoreApplication::instance()) application->installEventFilter(this);
}

QtLocalKeyEventMonitor::~QtLocalKeyEventMonitor() {
    if (auto* application = QCoreApplication::instance()) application->removeEventFilter(this);
}

std::unique_ptr<LocalKeyEventMonitor::Installation> QtLocalKeyEventMonitor::install(Handler handler) {
    auto entry = std::make_shared<Entry>(Entry{std::move(handler)});
    entries_.append(entry);
    return std::make_unique<Token>(this, entry);
}

std::optional<quint32> QtLocalKeyEventMonitor::evdevCode(const QKeyEvent& event) {
    const quint32 scanCode = event.nativeScanCode();
    if (scanCode < LinuxKeyCodeTable::x11KeycodeOffset) return std::nullopt;
    return scanCode - LinuxKeyCodeTable::x11KeycodeOffset;
}

QString QtLocalKeyEventMonitor::charactersIgnoringModifiers(const QKeyEvent& event) {
    // Qt names a printable key by its (upper-case) character; special keys lie above.
    const int key = event.key();
    if (key >= 0x20 && key < Qt::Key_Escape) {
        const char32_t character = char32_t(key);
        return QString::fromUcs4(&character, 1).toLower();
    }
    QString text = event.text();
    // Control characters (Ctrl+letter) say nothing about the key itself.
    if (!text.isEmpty() && text.front().isPrint()) return text.toLower();
    return {};
}

bool QtLocalKeyEventMonitor::deliver(const KeyboardEvent& event) {
    // The newest installation first; a handler may remove installations while we walk.
    const auto snapshot = entries_;
    // NOLINTNEXTLINE(modernize-loop-convert): clang 14 cannot parse libstdc++ 12's reverse views
    for (auto it = snapshot.crbegin(); it != snapshot.crend(); ++it) {
        if (!entries_.contains(*it)) continue;
        if ((*it)->handler(event)) return true;
    }
    return false;
}

bool QtLocalKeyEventMonitor::press(quint32 evdev, const QKeyEvent& event) {
    // A held key belongs to whoever swallowed its first press, repeats included.
    const bool alreadySwallowed = swallowedDown_.contains(evdev);
    auto translated = tracker_.handle(evdev, true, event.isAutoRepeat());
    if (alreadySwallowed) return true;
    if (!translated) return false;
    if (translated->type == KeyboardEvent::Type::keyDown)
        translated->charactersIgnoringModifiers = charactersIgnoringModifiers(event);
    const bool swallowed = deliver(*translated);
    if (swallowed) swallowedDown_.insert(evdev);
    return swallowed;
}

bool QtLocalKeyEventMonitor::release(quint32 evdev) {
    const auto translated = tracker_.handle(evdev, false);
    bool swallowed = swallowedDown_.remove(evdev);
    if (translated && translated->type == KeyboardEvent::Type::flagsChanged)
        swallowed = deliver(*translated) || swallowed;
    return swallowed;
}

bool QtLocalKeyEventMonitor::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ApplicationDeactivate) {
        // Keys released while another application had the keyboard were never seen.
        tracker_.reset({}, false);
        swallowedDown_.clear();
        pendingPress_.reset();
        return false;
    }
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    // Key events reach a window first and are then forwarded to its widgets: look once.
    if (!watched || !watched->isWindowType()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const auto evdev = evdevCode(*key);
    if (!evdev) return false;

    if (type == QEvent::ShortcutOverride) {
        // The key-down's first appearance: decide now, so a swallowed key fires no shortcut.
        const bool swallowed = press(*evdev, *key);
        pendingPress_ = PendingPress{*evdev, key->timestamp(), swallowed};
        if (!swallowed) return false;
        key->accept();
        return true;
    }
    if (type == QEvent::KeyPress) {
        if (pendingPress_ && pendingPress_->evdev == *evdev && pendingPress_->timestamp == key->timestamp()) {
            const bool swallowed = pendingPress_->swallowed;
            pendingPress_.reset();
            return swallowed;
        }
        pendingPress_.reset();
        return press(*evdev, *key);
    }
    return release(*evdev);
}

} // namespace quillo
