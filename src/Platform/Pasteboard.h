#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <utility>

namespace quillo {

// Type names the core uses on the pasteboard.
namespace PasteboardTypes {
inline const QString plainText = QStringLiteral("text/plain");
// A list of file URLs (what file managers put on the pasteboard when files are copied).
inline const QString fileUrl = QStringLiteral("text/uri-list");
} // namespace PasteboardTypes

// One item to write: ordered (type, data) pairs. A string is stored as its UTF-8 bytes.
struct PasteboardItem {
    QList<std::pair<QString, QByteArray>> values;

    PasteboardItem& setData(const QString& type, const QByteArray& data) {
        values.append({type, data});
        return *this;
    }
    PasteboardItem& setString(const QString& type, const QString& string) { return setData(type, string.toUtf8()); }
    QStringList types() const {
        QStringList result;
        for (const auto& value : values) result.append(value.first);
        return result;
    }
    bool operator==(const PasteboardItem&) const = default;
};

// The general pasteboard (on X11 the CLIPBOARD selection). The change count increases
// whenever any program writes to it, this one included (clearContents and writeItems).
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    virtual qint64 changeCount() const = 0;
    // Empties the pasteboard and takes ownership of it; returns the new change count.
    virtual qint64 clearContents() = 0;
    // Number of items; none when the contents cannot be read.
    virtual std::optional<int> itemCount() const = 0;
    // The types of one item, in the item's own order.
    virtual QStringList types(int item) const = 0;
    // The data of one item for a type; none when unreadable.
    virtual std::optional<QByteArray> data(int item, const QString& type) const = 0;
    // The string stored under a type on the first item that has it; none when absent.
    virtual std::optional<QString> string(const QString& type) const = 0;
    // Writes the items (after a clearContents). False when the write was refused.
    virtual bool writeItems(const QList<PasteboardItem>& items) = 0;

    // What the desktop reports, so that waits for it can end as soon as it happened. Where a
    // desktop reports nothing, the counts are none and waiters run to their bounds.
    //
    // How many times another application took the desktop's text selection (X11's PRIMARY,
    // which editors claim when text gets selected, as after Select All).
    virtual std::optional<qint64> selectionChangeCount() const { return std::nullopt; }
    // How many times another application read what this program last wrote (a paste taken).
    virtual std::optional<qint64> contentReadCount() const { return std::nullopt; }
    // Called, on the thread that owns the pasteboard, after any of the counts above or the
    // change count moved. One observer: a new one replaces the last; an empty one removes it.
    virtual void observeChanges(const std::function<void()>& /*observer*/) {}
};

} // namespace quillo
