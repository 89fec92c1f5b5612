#include "Platform/Wayland/WaylandPasteboard.h"

#include "Platform/Wayland/WaylandConnection.h"
#include "Support/Logging.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QDeadlineTimer>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>
#include <wayland-client.h>

namespace quillo {

struct WaylandPasteboardListeners {
    static void offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
        static_cast<WaylandPasteboard*>(data)->offerType(offer, type);
    }
    static void dataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        static_cast<WaylandPasteboard*>(data)->addOffer(offer);
    }
    static void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        static_cast<WaylandPasteboard*>(data)->setSelection(offer);
    }
    static void finished(void* data, zwlr_data_control_device_v1*) {
        static_cast<WaylandPasteboard*>(data)->deviceFinished();
    }
    static void primarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        static_cast<WaylandPasteboard*>(data)->setPrimarySelection(offer);
    }
    static void send(void* data, zwlr_data_control_source_v1* source, const char* type, int fd) {
        static_cast<WaylandPasteboard*>(data)->serve(source, type, fd);
    }
    static void cancelled(void* data, zwlr_data_control_source_v1* source) {
        static_cast<WaylandPasteboard*>(data)->sourceCancelled(source);
    }

    static constexpr zwlr_data_control_offer_v1_listener offer{offerType};
    static constexpr zwlr_data_control_device_v1_listener device{dataOffer, selection, finished, primarySelection};
    static constexpr zwlr_data_control_source_v1_listener source{send, cancelled};
};

namespace {

// Writes all of `bytes` to a pipe whose reader may be slow, within the deadline.
bool writeAll(int fd, const QByteArray& bytes, QDeadlineTimer deadline) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        pollfd ready{fd, POLLOUT, 0};
        const int left = static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
        if (::poll(&ready, 1, left) <= 0) return false;
        const ssize_t n = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (n > 0) written += n;
    }
    return true;
}

} // namespace

WaylandPasteboard::WaylandPasteboard(WaylandConnection& connection, QObject* parent)
    : QObject(parent), connection_(connection) {
    if (!connection_.isConnected() || !connection_.dataControlManager() || !connection_.seat()) {
        qCWarning(lcTextInsertion, "The compositor offers no clipboard control; the clipboard cannot be used");
        return;
    }
    device_ = zwlr_data_control_manager_v1_get_data_device(connection_.dataControlManager(), connection_.seat());
    zwlr_data_control_device_v1_add_listener(device_, &WaylandPasteboardListeners::device, this);
    // The current selection arrives at once.
    connection_.roundtrip();
}

WaylandPasteboard::~WaylandPasteboard() {
    for (auto it = pendingOffers_.constBegin(); it != pendingOffers_.constEnd(); ++it)
        zwlr_data_control_offer_v1_destroy(it.key());
    if (selection_) zwlr_data_control_offer_v1_destroy(selection_);
    if (source_) zwlr_data_control_source_v1_destroy(source_);
    if (device_) zwlr_data_control_device_v1_destroy(device_);
    connection_.flush();
}

bool WaylandPasteboard::isBookkeepingType(const QString& type) {
    return type == QLatin1String("TARGETS") || type == QLatin1String("MULTIPLE") ||
           type == QLatin1String("TIMESTAMP") || type == QLatin1String("SAVE_TARGETS") ||
           type == QLatin1String("DELETE");
}

QStringList WaylandPasteboard::plainTextTypes() {
    return {QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain;charset=utf-8"), PasteboardTypes::plainText,
            QStringLiteral("TEXT"), QStringLiteral("STRING")};
}

void WaylandPasteboard::addOffer(zwlr_data_control_offer_v1* offer) {
    pendingOffers_.insert(offer, {});
    zwlr_data_control_offer_v1_add_listener(offer, &WaylandPasteboardListeners::offer, this);
}

void WaylandPasteboard::offerType(zwlr_data_control_offer_v1* offer, const char* type) {
    const QString name = QString::fromUtf8(type);
    auto it = pendingOffers_.find(offer);
    if (it != pendingOffers_.end()) {
        if (!it->contains(name)) it->append(name);
    } else if (offer == selection_ && !selectionTypes_.contains(name)) {
        selectionTypes_.append(name);
    }
}

void WaylandPasteboard::setSelection(zwlr_data_control_offer_v1* offer) {
    if (selection_ && selection_ != offer) zwlr_data_control_offer_v1_destroy(selection_);
    selection_ = offer;
    selectionTypes_ = offer ? pendingOffers_.take(offer) : QStringList();
    ++changeCount_;
    if (observer_) observer_();
}

void WaylandPasteboard::setPrimarySelection(zwlr_data_control_offer_v1* offer) {
    // Only that it changed matters (an editor selected text); its offer is dropped at once.
    if (offer) {
        pendingOffers_.remove(offer);
        zwlr_data_control_offer_v1_destroy(offer);
    }
    ++primarySelectionChanges_;
    if (observer_) observer_();
}

std::optional<qint64> WaylandPasteboard::selectionChangeCount() const {
    // The primary selection is announced from the protocol's second version on.
    if (!device_ || zwlr_data_control_device_v1_get_version(device_) < 2) return std::nullopt;
    synchronize();
    return primarySelectionChanges_;
}

void WaylandPasteboard::deviceFinished() {
    qCWarning(lcTextInsertion, "The compositor ended clipboard control");
    zwlr_data_control_device_v1_destroy(device_);
    device_ = nullptr;
}

void WaylandPasteboard::serve(zwlr_data_control_source_v1* source, const char* type, int fd) {
    const QString name = QString::fromUtf8(type);
    if (source == source_) {
        for (const auto& [offered, bytes] : std::as_const(served_)) {
            if (offered != name) continue;
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            if (!writeAll(fd, bytes, QDeadlineTimer(writeTimeLimitMilliseconds)))
                qCWarning(lcTextInsertion, "A clipboard reader did not take our data in time");
            break;
        }
    }
    ::close(fd);
}

void WaylandPasteboard::sourceCancelled(zwlr_data_control_source_v1* source) {
    zwlr_data_control_source_v1_destroy(source);
    if (source != source_) return;
    // Someone else holds the clipboard now: our copy is no longer anyone's.
    source_ = nullptr;
    served_.clear();
}

void WaylandPasteboard::synchronize() const {
    // The compositor's events only change what this object mirrors of the compositor's state.
    const_cast<WaylandConnection&>(connection_).roundtrip();
}

qint64 WaylandPasteboard::changeCount() const {
    synchronize();
    return changeCount_;
}

qint64 WaylandPasteboard::clearContents() {
    // An empty offer of ours rather than no selection, so that whoever writes next is seen.
    offer({});
    return changeCount_;
}

std::optional<int> WaylandPasteboard::itemCount() const {
    if (!device_) return std::nullopt;
    return types(0).isEmpty() ? 0 : 1;
}

QStringList WaylandPasteboard::types(int item) const {
    QStringList result;
    if (!device_ || item != 0) return result;
    synchronize();
    if (source_) {
        for (const auto& value : served_) result.append(value.first);
        return result;
    }
    for (const QString& type : selectionTypes_)
        if (!type.isEmpty() && !isBookkeepingType(type)) result.append(type);
    return result;
}

std::optional<QByteArray> WaylandPasteboard::data(int item, const QString& type) const {
    if (!device_ || item != 0 || isBookkeepingType(type)) return std::nullopt;
    synchronize();
    return read(type);
}

std::optional<QByteArray> WaylandPasteboard::read(const QString& type) const {
    if (source_) {
        // Ours: reading it through the compositor would wait on ourselves.
        for (const auto& [offered, bytes] : served_)
            if (offered == type) return bytes;
        return std::nullopt;
    }
    if (!selection_ || !selectionTypes_.contains(type)) return std::nullopt;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return std::nullopt;
    zwlr_data_control_offer_v1_receive(selection_, type.toUtf8().constData(), fds[1]);
    ::close(fds[1]);
    const_cast<WaylandConnection&>(connection_).flush();

    QByteArray bytes;
    const QDeadlineTimer deadline(readTimeLimitMilliseconds);
    char buffer[65536];
    while (true) {
        pollfd ready{fds[0], POLLIN, 0};
        const int left = static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
        const int polled = ::poll(&ready, 1, left);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) {
            qCInfo(lcTextInsertion, "The clipboard's owner did not hand over %s in time", qUtf8Printable(type));
            ::close(fds[0]);
            return std::nullopt;
        }
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
        } else if (n == 0) {
            break;
        } else if (errno != EAGAIN && errno != EINTR) {
            ::close(fds[0]);
            return std::nullopt;
        }
    }
    ::close(fds[0]);
    return bytes;
}

std::optional<QString> WaylandPasteboard::string(const QString& type) const {
    if (!device_) return std::nullopt;
    const QStringList candidates = type == PasteboardTypes::plainText ? plainTextTypes() : QStringList{type};
    const QStringList offered = types(0);
    for (const QString& candidate : candidates) {
        if (!offered.contains(candidate)) continue;
        const auto bytes = read(candidate);
        if (!bytes) continue;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(*bytes);
        if (!decoder.hasError()) return text;
    }
    return std::nullopt;
}

QList<std::pair<QString, QByteArray>> WaylandPasteboard::offeredValues(const QList<PasteboardItem>& items) {
    // One item, as on X11: later items only add types the first lacks.
    QList<std::pair<QString, QByteArray>> values;
    QStringList seen;
    for (const PasteboardItem& item : items)
        for (const auto& [type, bytes] : item.values)
            if (!seen.contains(type)) {
                seen.append(type);
                values.append({type, bytes});
            }
    // Text under the bare MIME type alone is invisible to toolkits that ask for their own text
    // types (GTK asks for text/plain;charset=utf-8 or UTF8_STRING): offer it under those too.
    // An owner's own text types are left exactly as they were.
    const QStringList textTypes = plainTextTypes();
    const auto plain = std::find_if(values.cbegin(), values.cend(),
                                    [](const auto& value) { return value.first == PasteboardTypes::plainText; });
    const bool onlyBare = std::none_of(values.cbegin(), values.cend(), [&](const auto& value) {
        return value.first != PasteboardTypes::plainText && textTypes.contains(value.first);
    });
    if (plain != values.cend() && onlyBare) {
        const QByteArray text = plain->second;
        for (const QString& type : textTypes)
            if (type != PasteboardTypes::plainText) values.append({type, text});
    }
    return values;
}

bool WaylandPasteboard::writeItems(const QList<PasteboardItem>& items) { return offer(offeredValues(items)); }

bool WaylandPasteboard::offer(const QList<std::pair<QString, QByteArray>>& values) {
    if (!device_) return false;
    zwlr_data_control_source_v1* source =
        zwlr_data_control_manager_v1_create_data_source(connection_.dataControlManager());
    zwlr_data_control_source_v1_add_listener(source, &WaylandPasteboardListeners::source, this);
    for (const auto& value : values) zwlr_data_control_source_v1_offer(source, value.first.toUtf8().constData());
    zwlr_data_control_source_v1* previous = std::exchange(source_, source);
    served_ = values;
    zwlr_data_control_device_v1_set_selection(device_, source);
    // Replaced, so never cancelled: ours to drop.
    if (previous) zwlr_data_control_source_v1_destroy(previous);
    // The compositor announces our selection back: that is the change.
    const qint64 before = changeCount_;
    synchronize();
    if (changeCount_ == before) ++changeCount_;
    return source_ == source;
}

} // namespace quillo
