#pragma once

#include "Platform/Pasteboard.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>
#include <utility>

namespace quillo {

// Everything the pasteboard held, item by item and type by type, so that it can be put back.
struct PasteboardSnapshot {
    struct Item {
        QList<std::pair<QString, QByteArray>> values; // readable types only, in the item's order
        bool operator==(const Item&) const = default;
    };
    QList<Item> items;

    static PasteboardSnapshot capture(const Pasteboard& pasteboard);
    // Puts the snapshot back only when nobody has written since `changeCount`.
    bool restoreIfUnchanged(qint64 changeCount, Pasteboard& pasteboard) const;

    bool operator==(const PasteboardSnapshot&) const = default;

private:
    friend struct TransientPasteboardWrite;
    void restore(Pasteboard& pasteboard) const;
};

// Proof of one write by this program: the marker it stored and the change count after it.
struct TransientPasteboardWrite {
    QString marker;
    QString markerType;
    qint64 changeCount = 0;

    static TransientPasteboardWrite install(const QString& value, const QString& marker, const QString& markerType,
                                            Pasteboard& pasteboard);
    // Puts the snapshot back only while this write is still what the pasteboard holds.
    bool restoreIfStillOwned(const PasteboardSnapshot& snapshot, Pasteboard& pasteboard) const;

    bool operator==(const TransientPasteboardWrite&) const = default;
};

// Whether what a Copy left on the pasteboard counts as text.
namespace PasteboardTextCandidate {
// Types that mean the pasteboard holds files, not text (a file name string may ride along).
const QSet<QString>& rejectedTypeNames();
std::optional<QString> acceptedText(const std::optional<QString>& text, const QStringList& types);
} // namespace PasteboardTextCandidate

} // namespace quillo
