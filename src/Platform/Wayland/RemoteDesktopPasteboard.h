#pragma once

#include "Platform/Pasteboard.h"

#include <QObject>
#include <functional>

namespace quillo {

class RemoteClipboardChannel;

// The clipboard on GNOME, through a remote-desktop session's clipboard (Mutter's own, or the
// portal's Clipboard interface): it works while another application has the focus.
//
// Each new owner the desktop announces is a change; our own writes count once, when made (the
// desktop's echo of them is not counted again, and an owner it announced before that echo came
// before our write). The clipboard holds one item whose types are
// the owner's MIME types; each is read through a pipe within `readTimeLimitMilliseconds`, and
// SAVE_TARGETS and its kind are never asked. What we write stays offered, served from our copy
// to every reader, until another program takes the selection. The desktop does not report the
// primary selection or when a reader took our data, so those counts are none.
class RemoteDesktopPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    static constexpr int readTimeLimitMilliseconds = 500;
    static constexpr int writeTimeLimitMilliseconds = 2000;
    // What an emptied clipboard of ours offers: the desktop refuses an offer of no type at all.
    static inline const QString emptyMarkerType = QStringLiteral("application/x-quillo-empty");

    explicit RemoteDesktopPasteboard(RemoteClipboardChannel& channel, QObject* parent = nullptr);

    bool isAvailable() const;

    qint64 changeCount() const override { return changeCount_; }
    qint64 clearContents() override;
    std::optional<int> itemCount() const override;
    QStringList types(int item) const override;
    std::optional<QByteArray> data(int item, const QString& type) const override;
    std::optional<QString> string(const QString& type) const override;
    bool writeItems(const QList<PasteboardItem>& items) override;
    void observeChanges(const std::function<void()>& observer) override { observer_ = observer; }

    // Whether this program holds the selection now.
    bool ownsSelection() const { return owned_; }
    // How many readers were served our data.
    qint64 servedTransfers() const { return servedTransfers_; }

private:
    void ownerChanged(const QStringList& mimeTypes, bool sessionIsOwner);
    void transfer(const QString& mimeType, quint32 serial);
    std::optional<QByteArray> read(const QString& type) const;
    bool offer(const QList<std::pair<QString, QByteArray>>& values);

    RemoteClipboardChannel& channel_;
    QStringList ownerTypes_;
    bool owned_ = false;
    QList<std::pair<QString, QByteArray>> served_;
    // Our own writes whose announcement has not come back yet.
    int pendingEchoes_ = 0;
    qint64 changeCount_ = 1;
    qint64 servedTransfers_ = 0;
    std::function<void()> observer_;
};

} // namespace quillo
