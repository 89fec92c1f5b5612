#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillo {

// Keys typed through a desktop's remote-desktop session (GNOME offers no other way): Linux
// input event codes, fed through the desktop's own keyboard state like a keyboard of the seat.
class RemoteKeyChannel {
public:
    virtual ~RemoteKeyChannel() = default;
    // Whether keys can be sent now (the session runs and has a keyboard).
    virtual bool canSendKeys() const = 0;
    virtual bool notifyKeycode(quint32 evdevCode, bool pressed) = 0;
};

// The clipboard of a remote-desktop session: the desktop announces each new owner with its
// MIME types, hands out a pipe to read one type from the owner, and, while the session owns
// the selection, asks for each type a reader wants through `selectionTransfer`, to be answered
// on a pipe it gives for that serial.
class RemoteClipboardChannel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~RemoteClipboardChannel() override = default;

    virtual bool isClipboardEnabled() const = 0;
    virtual bool setSelection(const QStringList& mimeTypes) = 0;
    // The read end of a pipe the owner writes `mimeType` into; none when refused. Ours to close.
    virtual std::optional<int> selectionRead(const QString& mimeType) = 0;
    // The write end of the pipe for a transfer; none when refused. Ours to close.
    virtual std::optional<int> selectionWrite(quint32 serial) = 0;
    virtual void selectionWriteDone(quint32 serial, bool success) = 0;

signals:
    // A new owner (or none, with no types); `sessionIsOwner` when the owner is this session.
    void selectionOwnerChanged(const QStringList& mimeTypes, bool sessionIsOwner);
    void selectionTransfer(const QString& mimeType, quint32 serial);
};

} // namespace quillo
