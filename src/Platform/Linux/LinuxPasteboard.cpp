#include "Platform/Linux/LinuxPasteboard.h"

#include "Support/Logging.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QStringDecoder>
#include <qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace quillo {

namespace {

// Targets Qt lists that carry no content of their own.
bool isBookkeepingType(const QString& type) {
    return type == QLatin1String("TARGETS") || type == QLatin1String("MULTIPLE") ||
           type == QLatin1String("TIMESTAMP") || type == QLatin1String("SAVE_TARGETS") ||
           type == QLatin1String("DELETE") ||
           // Qt's in-process image form, not a target the owner offers.
           type == QLatin1String("application/x-qt-image");
}

// Our own offer: it tells when its data is asked for, which is how a paste is seen being taken.
class ReportingMimeData final : public QMimeData {
public:
    explicit ReportingMimeData(std::function<void()> read) : read_(std::move(read)) {}

protected:
    QVariant retrieveData(const QString& type, QMetaType metaType) const override {
        if (read_) read_();
        return QMimeData::retrieveData(type, metaType);
    }

private:
    std::function<void()> read_;
};

// Marks the reads this program makes of the clipboard.
class OwnRead {
public:
    explicit OwnRead(int& depth) : depth_(depth) { ++depth_; }
    ~OwnRead() { --depth_; }
    OwnRead(const OwnRead&) = delete;
    OwnRead& operator=(const OwnRead&) = delete;

private:
    int& depth_;
};

} // namespace

std::optional<QString> LinuxPasteboard::nativeText(const QMimeData& mime) {
    // X11's own text target, UTF8_STRING, carries the text as the owner holds it, and Qt reads it
    // for "text/plain". QMimeData::text() prefers text/plain;charset=utf-8, which GTK fills with
    // CR LF line ends (the MIME rule for text/plain): the field never held those, and a paste
    // would put them in.
    if (!mime.hasFormat(PasteboardTypes::plainText)) return std::nullopt;
    const QByteArray bytes = mime.data(PasteboardTypes::plainText);
    if (bytes.isEmpty()) return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

LinuxPasteboard::LinuxPasteboard(QObject* parent) : QObject(parent) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        qCCritical(lcTextInsertion) << "The clipboard needs a graphical application object";
        return;
    }
    clipboard_ = QGuiApplication::clipboard();
    display_ = XOpenDisplay(nullptr);
    if (display_) clipboardAtom_ = XInternAtom(display_, "CLIPBOARD", False);
    // Windows of Qt's own X connection carry its resource id base: that is how a selection
    // owner is recognised as ours.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (xcb_connection_t* connection = x11->connection()) {
            const xcb_setup_t* setup = xcb_get_setup(connection);
            qtResourceBase_ = setup->resource_id_base;
            qtResourceMask_ = setup->resource_id_mask;
        }
    }
    connect(clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) ++changeCount_;
        else if (mode == QClipboard::Selection) ++selectionChanges_;
        else return;
        notify();
    });
}

LinuxPasteboard::~LinuxPasteboard() {
    if (display_) XCloseDisplay(display_);
}

void LinuxPasteboard::notify() {
    if (observer_) observer_();
}

std::optional<qint64> LinuxPasteboard::selectionChangeCount() const {
    if (!clipboard_ || !clipboard_->supportsSelection()) return std::nullopt;
    return selectionChanges_;
}

unsigned long LinuxPasteboard::selectionOwner() const {
    if (!display_) return 0;
    return XGetSelectionOwner(display_, clipboardAtom_);
}

bool LinuxPasteboard::confirmOwnership(unsigned long ownerBefore) {
    if (!display_ || qtResourceMask_ == 0) return true; // nothing to ask; trust Qt
    const unsigned long owner = selectionOwner();
    if (owner != 0 && (owner & ~static_cast<unsigned long>(qtResourceMask_)) == qtResourceBase_) {
        refusedWrite_ = false;
        return true;
    }
    Q_UNUSED(ownerBefore);
    qCCritical(lcTextInsertion) << "The X server refused clipboard ownership; the write did not happen";
    refusedWrite_ = true;
    refusedAtCount_ = changeCount_;
    return false;
}

bool LinuxPasteboard::refused() const {
    // Until someone else writes, Qt would answer from the copy the server refused.
    return refusedWrite_ && changeCount_ == refusedAtCount_;
}

void LinuxPasteboard::noteOwnWrite(qint64 before) {
    // Qt may or may not report our own write through `changed`; it must count once at least.
    if (changeCount_ == before) ++changeCount_;
}

qint64 LinuxPasteboard::clearContents() {
    if (!clipboard_) return changeCount_;
    const qint64 before = changeCount_;
    const unsigned long ownerBefore = selectionOwner();
    // An empty offer that we own (rather than no owner), so later owner changes are seen.
    clipboard_->setMimeData(new QMimeData, QClipboard::Clipboard);
    noteOwnWrite(before);
    confirmOwnership(ownerBefore);
    return changeCount_;
}

std::optional<int> LinuxPasteboard::itemCount() const {
    const OwnRead own(ownReads_);
    if (!clipboard_ || refused()) return std::nullopt;
    const QMimeData* mime = clipboard_->mimeData(QClipboard::Clipboard);
    if (!mime) return 0;
    return types(0).isEmpty() ? 0 : 1;
}

QStringList LinuxPasteboard::types(int item) const {
    const OwnRead own(ownReads_);
    QStringList result;
    if (!clipboard_ || item != 0 || refused()) return result;
    const QMimeData* mime = clipboard_->mimeData(QClipboard::Clipboard);
    if (!mime) return result;
    for (const QString& type : mime->formats())
        if (!type.isEmpty() && !isBookkeepingType(type) && !result.contains(type)) result.append(type);
    return result;
}

std::optional<QByteArray> LinuxPasteboard::data(int item, const QString& type) const {
    const OwnRead own(ownReads_);
    if (!clipboard_ || item != 0 || refused()) return std::nullopt;
    const QMimeData* mime = clipboard_->mimeData(QClipboard::Clipboard);
    if (!mime || !mime->hasFormat(type)) return std::nullopt;
    return mime->data(type);
}

std::optional<QString> LinuxPasteboard::string(const QString& type) const {
    const OwnRead own(ownReads_);
    if (!clipboard_ || refused()) return std::nullopt;
    const QMimeData* mime = clipboard_->mimeData(QClipboard::Clipboard);
    if (!mime) return std::nullopt;
    if (type == PasteboardTypes::plainText) {
        if (auto text = nativeText(*mime)) return text;
        if (!mime->hasText()) return std::nullopt;
        return mime->text();
    }
    if (!mime->hasFormat(type)) return std::nullopt;
    return QString::fromUtf8(mime->data(type));
}

bool LinuxPasteboard::writeItems(const QList<PasteboardItem>& items) {
    if (!clipboard_) return false;
    // The X clipboard holds one item: the first item's types are offered; further items (which
    // the core never writes) are merged in as extra types when their type is new.
    QPointer<LinuxPasteboard> self(this);
    auto* mime = new ReportingMimeData([self] {
        if (!self || self->ownReads_ > 0) return;
        ++self->contentReads_;
        self->notify();
    });
    for (const PasteboardItem& item : items)
        for (const auto& [type, bytes] : item.values)
            if (!mime->hasFormat(type)) mime->setData(type, bytes);
    const qint64 before = changeCount_;
    const unsigned long ownerBefore = selectionOwner();
    clipboard_->setMimeData(mime, QClipboard::Clipboard);
    noteOwnWrite(before);
    return confirmOwnership(ownerBefore);
}

bool LinuxPasteboard::representsFiles(const QStringList& types) {
    return types.contains(PasteboardTypes::fileUrl) || types.contains(QLatin1String("x-special/gnome-copied-files")) ||
           types.contains(QLatin1String("application/x-kde-cutselection"));
}

} // namespace quillo
