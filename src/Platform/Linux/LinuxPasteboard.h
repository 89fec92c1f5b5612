#pragma once

#include "Platform/Pasteboard.h"

#include <QObject>

class QClipboard;
class QMimeData;
struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for Display

namespace quillo {

// The CLIPBOARD selection through QClipboard (needs a QGuiApplication on the xcb platform).
//
// X11 has no change count: ours counts owner changes, which Qt learns through XFixes selection
// notifications on its event loop, plus this program's own writes (which always count, even
// when Qt reports them late or not at all). The clipboard holds one item whose types are the
// MIME types the owner offers; a snapshot keeps every one of them with its bytes and a restore
// offers them all again. Our marker is one more MIME type ("com.quillo.transient-pasteboard").
//
// Another application taking PRIMARY (XFixes, through Qt) is counted as a selection report, and
// a request for our own offer's data from outside this program as a read.
//
// At quit, Qt hands clipboard content we still own to a running clipboard manager
// (CLIPBOARD_MANAGER / SAVE_TARGETS), so what the user copied outlives this program.
class LinuxPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit LinuxPasteboard(QObject* parent = nullptr);
    ~LinuxPasteboard() override;

    qint64 changeCount() const override { return changeCount_; }
    qint64 clearContents() override;
    std::optional<int> itemCount() const override;
    QStringList types(int item) const override;
    std::optional<QByteArray> data(int item, const QString& type) const override;
    std::optional<QString> string(const QString& type) const override;
    bool writeItems(const QList<PasteboardItem>& items) override;
    std::optional<qint64> selectionChangeCount() const override;
    std::optional<qint64> contentReadCount() const override { return contentReads_; }
    void observeChanges(const std::function<void()>& observer) override { observer_ = observer; }

    // Types that mean files rather than text (the file managers' own alongside text/uri-list).
    static bool representsFiles(const QStringList& types);
    // The plain text of an offer as its owner holds it (UTF8_STRING), when that is readable.
    static std::optional<QString> nativeText(const QMimeData& mime);

private:
    void notify();
    void noteOwnWrite(qint64 before);
    unsigned long selectionOwner() const;
    // Whether the X server made us the owner. It ignores an ownership request stamped earlier
    // than the selection's last change (Qt stamps with the last server time it saw), and Qt
    // then still answers from its own copy: such a write must count as refused.
    bool confirmOwnership(unsigned long ownerBefore);
    bool refused() const;

    _XDisplay* display_ = nullptr; // our own connection, to ask who owns CLIPBOARD
    unsigned long clipboardAtom_ = 0;
    quint32 qtResourceBase_ = 0;
    quint32 qtResourceMask_ = 0;
    bool refusedWrite_ = false;
    qint64 refusedAtCount_ = 0;
    QClipboard* clipboard_ = nullptr;
    qint64 changeCount_ = 1;
    qint64 selectionChanges_ = 0;
    qint64 contentReads_ = 0;
    // Reads of our own offer made by this program, which are no paste being taken.
    mutable int ownReads_ = 0;
    std::function<void()> observer_;
};

} // namespace quillo
