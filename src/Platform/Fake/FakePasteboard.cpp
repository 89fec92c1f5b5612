#include "Platform/Fake/FakePasteboard.h"

namespace quillo {

qint64 FakePasteboard::clearContents() {
    items_.clear();
    ++changeCount_;
    ++clearCount;
    if (onChange) onChange();
    notify();
    return changeCount_;
}

std::optional<int> FakePasteboard::itemCount() const {
    if (contentsUnreadable) return std::nullopt;
    return static_cast<int>(items_.size());
}

QStringList FakePasteboard::types(int item) const {
    if (item < 0 || item >= items_.size()) return {};
    return items_[item].types();
}

std::optional<QByteArray> FakePasteboard::data(int item, const QString& type) const {
    if (item < 0 || item >= items_.size() || unreadableTypes.contains(type)) return std::nullopt;
    for (const auto& [t, d] : items_[item].values)
        if (t == type) return d;
    return std::nullopt;
}

std::optional<QString> FakePasteboard::string(const QString& type) const {
    std::optional<QString> result;
    for (int index = 0; index < items_.size() && !result; ++index) {
        if (auto bytes = data(index, type)) result = QString::fromUtf8(*bytes);
    }
    if (afterNextStringRead) {
        auto hook = std::move(afterNextStringRead);
        afterNextStringRead = nullptr;
        hook();
    }
    return result;
}

bool FakePasteboard::writeItems(const QList<PasteboardItem>& items) {
    if (refuseWrites) return false;
    items_.append(items);
    ++changeCount_;
    ++writeCount;
    if (onChange) onChange();
    notify();
    return true;
}

void FakePasteboard::noteSelectionTaken() {
    if (!selectionChanges) return;
    ++*selectionChanges;
    notify();
}

void FakePasteboard::noteContentRead() {
    if (!contentReads) return;
    ++*contentReads;
    notify();
}

void FakePasteboard::notify() {
    if (observer_) observer_();
}

void FakePasteboard::writeFromAnotherProgram(const QList<PasteboardItem>& items) {
    clearContents();
    writeItems(items);
}

} // namespace quillo
