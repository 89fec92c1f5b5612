#pragma once

#include "Platform/Pasteboard.h"

#include <QSet>
#include <functional>

namespace quillo {

// A pasteboard in memory with a real change count: every clear and every write moves it,
// whoever makes them.
class FakePasteboard final : public Pasteboard {
public:
    qint64 changeCount() const override { return changeCount_; }
    qint64 clearContents() override;
    std::optional<int> itemCount() const override;
    QStringList types(int item) const override;
    std::optional<QByteArray> data(int item, const QString& type) const override;
    std::optional<QString> string(const QString& type) const override;
    bool writeItems(const QList<PasteboardItem>& items) override;
    std::optional<qint64> selectionChangeCount() const override { return selectionChanges; }
    std::optional<qint64> contentReadCount() const override { return contentReads; }
    void observeChanges(const std::function<void()>& observer) override { observer_ = observer; }

    // What applications report (X11 desktops do; set the counts to start reporting).
    void noteSelectionTaken();
    void noteContentRead();
    std::optional<qint64> selectionChanges;
    std::optional<qint64> contentReads;

    // What another program does: replace the whole contents.
    void writeFromAnotherProgram(const QList<PasteboardItem>& items);
    const QList<PasteboardItem>& items() const { return items_; }
    std::optional<QString> plainText() const { return string(PasteboardTypes::plainText); }

    // Knobs.
    QSet<QString> unreadableTypes;   // data() for these types fails
    bool contentsUnreadable = false; // itemCount() fails
    bool refuseWrites = false;
    int writeCount = 0;
    int clearCount = 0;
    std::function<void()> onChange; // after every clear or write
    // Runs once, right after the next string() read: a write that lands between a reader
    // taking the contents and acting on what it saw.
    mutable std::function<void()> afterNextStringRead;

private:
    void notify();
    std::function<void()> observer_;
    QList<PasteboardItem> items_;
    qint64 changeCount_ = 1;
};

} // namespace quillo
