#pragma once

#include "Models/CorrectionModels.h"
#include "Views/CorrectionHistoryRules.h"

#include <QWidget>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace quillo {

class QuilloCorrectionHistory;

// One saved correction: when, at which speed and mode, the text before and after.
class CorrectionHistoryRow : public QWidget {
    Q_OBJECT
public:
    explicit CorrectionHistoryRow(const QuilloCorrectionHistoryEntry& entry, QWidget* parent = nullptr);
    const QuilloCorrectionHistoryEntry& entry() const { return entry_; }

private:
    QuilloCorrectionHistoryEntry entry_;
};

// The History tab: the switch that keeps history, the privacy notice and the saved
// corrections. Reads the store when made and whenever the store announces a change.
class CorrectionHistoryView : public QWidget {
    Q_OBJECT
public:
    explicit CorrectionHistoryView(QuilloCorrectionHistory& history, QWidget* parent = nullptr);

    const std::vector<QuilloCorrectionHistoryEntry>& entries() const { return entries_; }
    bool isEnabled() const { return isEnabled_; }
    CorrectionHistoryBodyState bodyState() const;

    // Reads the switch and the entries from the store again.
    void reload();

private:
    void rebuildBody();

    QuilloCorrectionHistory& history_;
    std::vector<QuilloCorrectionHistoryEntry> entries_;
    bool isEnabled_ = true;
    QCheckBox* switch_ = nullptr;
    QPushButton* clear_ = nullptr;
    QStackedWidget* body_ = nullptr;
    QWidget* rowsContainer_ = nullptr;
    QVBoxLayout* rows_ = nullptr;
};

} // namespace quillo
