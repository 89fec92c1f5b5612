#include "Support/PasteboardTransaction.h"

namespace quillo {

PasteboardSnapshot PasteboardSnapshot::capture(const Pasteboard& pasteboard) {
    PasteboardSnapshot snapshot;
    const auto count = pasteboard.itemCount();
    if (!count) return snapshot;
    for (int index = 0; index < *count; ++index) {
        Item item;
        for (const QString& type : pasteboard.types(index)) {
            if (auto data = pasteboard.data(index, type)) item.values.append({type, *data});
        }
        snapshot.items.append(std::move(item));
    }
    return snapshot;
}

void PasteboardSnapshot::restore(Pasteboard& pasteboard) const {
    pasteboard.clearContents();
    if (items.isEmpty()) return;
    QList<PasteboardItem> written;
    written.reserve(items.size());
    for (const Item& item : items) {
        PasteboardItem copy;
        for (const auto& [type, data] : item.values) copy.setData(type, data);
        written.append(std::move(copy));
    }
    pasteboard.writeItems(written);
}

bool PasteboardSnapshot::restoreIfUnchanged(qint64 changeCount, Pasteboard& pasteboard) const {
    if (pasteboard.changeCount() != changeCount) return false;
    restore(pasteboard);
    return true;
}

TransientPasteboardWrite TransientPasteboardWrite::install(const QString& value, const QString& marker,
                                                           const QString& markerType, Pasteboard& pasteboard) {
    PasteboardItem item;
    item.setString(PasteboardTypes::plainText, value);
    item.setString(markerType, marker);
    pasteboard.clearContents();
    pasteboard.writeItems({item});
    return TransientPasteboardWrite{marker, markerType, pasteboard.changeCount()};
}

bool TransientPasteboardWrite::restoreIfStillOwned(const PasteboardSnapshot& snapshot, Pasteboard& pasteboard) const {
    if (pasteboard.changeCount() != changeCount) return false;
    if (pasteboard.string(markerType) != marker) return false;
    snapshot.restore(pasteboard);
    return true;
}

namespace PasteboardTextCandidate {

const QSet<QString>& rejectedTypeNames() {
    static const QSet<QString> names{
        PasteboardTypes::fileUrl,
        QStringLiteral("public.file-url"),
        QStringLiteral("NSFilenamesPboardType"),
        QStringLiteral("com.apple.finder.node"),
        // What GNOME and KDE file managers add when files are copied or cut.
        QStringLiteral("x-special/gnome-copied-files"),
        QStringLiteral("application/x-kde-cutselection"),
    };
    return names;
}

std::optional<QString> acceptedText(const std::optional<QString>& text, const QStringList& types) {
    for (const QString& type : types)
        if (rejectedTypeNames().contains(type)) return std::nullopt;
    return text;
}

} // namespace PasteboardTextCandidate
} // namespace quillo
