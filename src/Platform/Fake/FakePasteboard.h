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
    QList<PasteboardItem> items_;
    qint64 changeCount_ = 1;
};

} // namespace quillo
