#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>

struct wl_display;
struct wl_keyboard;
struct wl_proxy;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
class QSocketNotifier;

namespace quillo {

// Our own connection to the Wayland compositor, beside the toolkit's: the globals the desktop
// layer needs (the seat, the virtual keyboard manager or KWin's fake input, the data-control
// manager) and the
// user's keymap as the seat announces it. Events are read on the main thread's event loop.
class WaylandConnection final : public QObject {
    Q_OBJECT
public:
    // Connects to the display named by WAYLAND_DISPLAY; `isConnected` says whether that worked.
    explicit WaylandConnection(QObject* parent = nullptr);
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    bool isConnected() const { return display_ != nullptr; }
    wl_display* display() const { return display_; }
    wl_seat* seat() const { return seat_; }
    wl_proxy* virtualKeyboardManager() const { return virtualKeyboardManager_; }
    zwlr_data_control_manager_v1* dataControlManager() const { return dataControlManager_; }
    // KWin's fake input, bound at version 4 or later; none elsewhere, or where KWin hides it
    // from us (no desktop entry asking for it).
    wl_proxy* fakeInput() const { return fakeInput_; }

    // The XKB keymap text the seat last announced; empty until it has one.
    const QByteArray& seatKeymap() const { return seatKeymap_; }

    // Sends what is queued and waits until the compositor has answered all of it, handling the
    // events that came meanwhile. False when the connection is broken.
    bool roundtrip();
    // Sends what is queued.
    void flush();

    // The globals' interface names, for what the permission window says is missing.
    static inline const char* const dataControlManagerName = "zwlr_data_control_manager_v1";

signals:
    void seatKeymapChanged();

private:
    friend struct WaylandConnectionListeners;
    void dispatch();
    void bindGlobal(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
    void setSeatCapabilities(std::uint32_t capabilities);
    void receiveKeymap(std::uint32_t format, int fd, std::uint32_t size);

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_proxy* virtualKeyboardManager_ = nullptr;
    zwlr_data_control_manager_v1* dataControlManager_ = nullptr;
    wl_proxy* fakeInput_ = nullptr;
    QByteArray seatKeymap_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace quillo
