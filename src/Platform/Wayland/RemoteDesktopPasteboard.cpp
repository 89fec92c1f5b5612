#include "Platform/Wayland/RemoteDesktopPasteboard.h"

#include "Platform/Wayland/PipeTransfer.h"
#include "Platform/Wayland/RemoteDesktopChannels.h"
#include "Platform/Wayland/WaylandPasteboard.h"
#include "Support/Logging.h"

#include <QStringDecoder>

#include <algorithm>

namespace quillo {

RemoteDesktopPasteboard::RemoteDesktopPasteboard(RemoteClipboardChannel& channel, QObject* parent)
    : QObject(parent), channel_(channel) {
    connect(&channel_, &RemoteClipboardChannel::selectionOwnerChanged, this, &RemoteDesktopPasteboard::ownerChanged);
    connect(&channel_, &RemoteClipboardChannel::selectionTransfer, this, &RemoteDesktopPasteboard::transfer);
}

bool RemoteDesktopPasteboard::isAvailable() const { return channel_.isClipboardEnabled(); }

void RemoteDesktopPasteboard::ownerChanged(const QStringList& mimeTypes, bool sessionIsOwner) {
    if (sessionIsOwner) {
        // Our write, already counted when made.
        if (pendingEchoes_ > 0) {
            --pendingEchoes_;
            return;
        }
    } else {
        // The desktop announces in order: another owner announced before the echo of our write
        // held the clipboard before it, and our write replaced it.
        if (pendingEchoes_ > 0) return;
        owned_ = false;
        served_.clear();
    }
    ownerTypes_ = mimeTypes;
    ++changeCount_;
    if (observer_) observer_();
}

void RemoteDesktopPasteboard::transfer(const QString& mimeType, quint32 serial) {
    const auto value = std::find_if(served_.cbegin(), served_.cend(),
                                    [&mimeType](const auto& offered) { return offered.first == mimeType; });
    if (!owned_ || value == served_.cend()) {
        channel_.selectionWriteDone(serial, false);
        return;
    }
    const auto fd = channel_.selectionWrite(serial);
    if (!fd) {
        channel_.selectionWriteDone(serial, false);
        return;
    }
    const bool written = PipeTransfer::writeAll(*fd, value->second, writeTimeLimitMilliseconds);
    if (!written) qCWarning(lcTextInsertion, "A clipboard reader did not take our data in time");
    channel_.selectionWriteDone(serial, written);
    ++servedTransfers_;
}

qint64 RemoteDesktopPasteboard::clearContents() {
    // An empty offer of ours rather than no selection, so that whoever writes next is seen.
    offer({{emptyMarkerType, QByteArray()}});
    return changeCount_;
}

std::optional<int> RemoteDesktopPasteboard::itemCount() const {
    if (!isAvailable()) return std::nullopt;
    return types(0).isEmpty() ? 0 : 1;
}

QStringList RemoteDesktopPasteboard::types(int item) const {
    QStringList result;
    if (!isAvailable() || item != 0) return result;
    if (owned_) {
        for (const auto& value : served_)
            if (value.first != emptyMarkerType) result.append(value.first);
        return result;
    }
    for (const QString& type : ownerTypes_)
        if (!type.isEmpty() && type != emptyMarkerType && !WaylandPasteboard::isBookkeepingType(type))
            result.append(type);
    return result;
}

std::optional<QByteArray> RemoteDesktopPasteboard::data(int item, const QString& type) const {
    if (!isAvailable() || item != 0 || WaylandPasteboard::isBookkeepingType(type)) return std::nullopt;
    return read(type);
}

std::optional<QByteArray> RemoteDesktopPasteboard::read(const QString& type) const {
    if (owned_) {
        // Ours: reading it through the desktop would wait on ourselves.
        for (const auto& [offered, bytes] : served_)
            if (offered == type) return bytes;
        return std::nullopt;
    }
    if (!ownerTypes_.contains(type)) return std::nullopt;
    const auto fd = channel_.selectionRead(type);
    if (!fd) return std::nullopt;
    auto bytes = PipeTransfer::readAll(*fd, readTimeLimitMilliseconds);
    if (!bytes) qCInfo(lcTextInsertion, "The clipboard's owner did not hand over %s in time", qUtf8Printable(type));
    return bytes;
}

std::optional<QString> RemoteDesktopPasteboard::string(const QString& type) const {
    if (!isAvailable()) return std::nullopt;
    const QStringList candidates =
        type == PasteboardTypes::plainText ? WaylandPasteboard::plainTextTypes() : QStringList{type};
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

bool RemoteDesktopPasteboard::writeItems(const QList<PasteboardItem>& items) {
    auto values = WaylandPasteboard::offeredValues(items);
    if (values.isEmpty()) values.append({emptyMarkerType, QByteArray()});
    return offer(values);
}

bool RemoteDesktopPasteboard::offer(const QList<std::pair<QString, QByteArray>>& values) {
    if (!isAvailable()) return false;
    QStringList mimeTypes;
    for (const auto& value : values) mimeTypes.append(value.first);
    if (!channel_.setSelection(mimeTypes)) return false;
    owned_ = true;
    served_ = values;
    ++pendingEchoes_;
    ++changeCount_;
    if (observer_) observer_();
    return true;
}

} // namespace quillo
