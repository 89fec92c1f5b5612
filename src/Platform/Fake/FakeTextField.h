#pragma once

#include "Platform/Fake/FakeAccessibilityElement.h"

#include <QString>

namespace quillo {

// The text and selection of one simulated field, with the edits keystrokes make.
struct FakeTextField {
    QString value;
    qint64 selectionStart = 0;
    qint64 selectionLength = 0;
    FakeAccessibilityElement::Ref element;

    QString selectedText() const { return value.mid(selectionStart, selectionLength); }
    void select(qint64 start, qint64 length) {
        selectionStart = qBound<qint64>(0, start, value.size());
        selectionLength = qBound<qint64>(0, length, value.size() - selectionStart);
    }
    void selectAll() { select(0, value.size()); }
    void placeCaret(qint64 position) { select(position, 0); }
    void replaceSelection(const QString& text) {
        value.replace(selectionStart, selectionLength, text);
        selectionStart += text.size();
        selectionLength = 0;
    }
    // Right Arrow: a selection collapses to its end, a caret moves one step.
    void moveRight() {
        if (selectionLength > 0) selectionStart += selectionLength;
        else if (selectionStart < value.size()) ++selectionStart;
        selectionLength = 0;
    }
};

} // namespace quillo
