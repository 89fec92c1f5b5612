#include "Views/CorrectionHistoryView.h"

#include "Services/QuilloCorrectionHistory.h"
#include "Services/QuilloCorrectionHistoryNotifier.h"
#include "Views/SettingsControls.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quillo {

namespace {

using namespace SettingsControls;

QLabel* textBlock(const QString& title, const QString& text, const char* name, QWidget* parent, QVBoxLayout* into) {
    auto* heading = secondaryLabel(title, parent);
    into->addWidget(heading);
    auto* body = new QLabel(text, parent);
    body->setObjectName(QLatin1String(name));
    body->setWordWrap(true);
    body->setTextFormat(Qt::PlainText);
    body->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    into->addWidget(body);
    return body;
}

// The symbol and sentences of an empty body.
QWidget* placeholder(QuilloSymbol symbol, const QString& title, const QString& detail, const char* name,
                     QWidget* parent) {
    auto* page = new QWidget(parent);
    page->setObjectName(QLatin1String(name));
    auto* column = new QVBoxLayout(page);
    column->addStretch(1);
    auto* icon = symbolLabel(symbol, QuilloPalette::grey, page, 32);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    auto* heading = titleLabel(title, page);
    heading->setObjectName(QStringLiteral("placeholderTitle"));
    column->addWidget(heading, 0, Qt::AlignHCenter);
    if (!detail.isEmpty()) {
        auto* text = secondaryLabel(detail, page);
        text->setObjectName(QStringLiteral("placeholderDetail"));
        text->setAlignment(Qt::AlignHCenter);
        column->addWidget(text);
    }
    column->addStretch(2);
    return page;
}

} // namespace

CorrectionHistoryRow::CorrectionHistoryRow(const QuilloCorrectionHistoryEntry& entry, QWidget* parent)
    : QWidget(parent), entry_(entry) {
    setObjectName(QStringLiteral("historyRow"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 4, 0, 4);
    column->setSpacing(4);

    auto* meta = new QHBoxLayout;
    auto* date = secondaryLabel(CorrectionHistoryRules::dateText(entry.date), this);
    date->setObjectName(QStringLiteral("date"));
    date->setWordWrap(false);
    meta->addWidget(date);
    meta->addStretch(1);
    meta->addWidget(symbolLabel(QuilloSymbol::boltFill, QuilloPalette::purple, this, 12));
    auto* speed = new QLabel(CorrectionHistoryRules::speedLabel(entry), this);
    speed->setObjectName(QStringLiteral("speed"));
    meta->addWidget(speed);
    if (const auto mode = CorrectionHistoryRules::writingModeTitle(entry)) {
        auto* modeLabel = secondaryLabel(*mode, this);
        modeLabel->setObjectName(QStringLiteral("writingMode"));
        modeLabel->setWordWrap(false);
        meta->addWidget(modeLabel);
    }
    column->addLayout(meta);
    textBlock(QStringLiteral("Before"), entry.originalText, "before", this, column);
    textBlock(QStringLiteral("After"), entry.correctedText, "after", this, column);
}

CorrectionHistoryView::CorrectionHistoryView(QuilloCorrectionHistory& history, QWidget* parent)
    : QWidget(parent), history_(history) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->addWidget(titleLabel(QStringLiteral("History"), this, 1.2));
    header->addStretch(1);
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    clear_->setObjectName(QStringLiteral("clearHistory"));
    header->addWidget(clear_);
    column->addLayout(header);

    switch_ = new QCheckBox(CorrectionHistoryRules::saveSwitchTitle, this);
    switch_->setObjectName(QStringLiteral("saveCorrectionHistory"));
    column->addWidget(switch_);

    auto* notice = new QHBoxLayout;
    notice->addWidget(symbolLabel(QuilloSymbol::lockShield, QuilloPalette::grey, this), 0, Qt::AlignTop);
    auto* noticeText = secondaryLabel(CorrectionHistoryRules::privacyNotice, this);
    noticeText->setObjectName(QStringLiteral("privacyNotice"));
    notice->addWidget(noticeText, 1);
    column->addLayout(notice);

    body_ = new QStackedWidget(this);
    body_->setObjectName(QStringLiteral("historyBody"));
    body_->addWidget(placeholder(QuilloSymbol::clockBadgeXmark, CorrectionHistoryRules::historyOffTitle,
                                 CorrectionHistoryRules::historyOffDetail, "historyOff", body_));
    body_->addWidget(placeholder(QuilloSymbol::clockArrowCirclepath, CorrectionHistoryRules::emptyTitle, QString(),
                                 "historyEmpty", body_));
    auto* scroll = new QScrollArea(body_);
    scroll->setObjectName(QStringLiteral("historyEntries"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    rowsContainer_ = new QWidget(scroll);
    rows_ = new QVBoxLayout(rowsContainer_);
    rows_->setContentsMargins(0, 0, 4, 0);
    rows_->addStretch(1);
    scroll->setWidget(rowsContainer_);
    body_->addWidget(scroll);
    column->addWidget(body_, 1);

    connect(switch_, &QCheckBox::toggled, this, [this](bool on) {
        if (on == isEnabled_) return;
        // Turning it off deletes every saved entry; the store announces it and we reload.
        history_.setEnabled(on);
        reload();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        history_.clear();
        reload();
    });
    connect(&QuilloCorrectionHistoryNotifier::shared(),
            &QuilloCorrectionHistoryNotifier::quilloCorrectionHistoryDidChange, this, &CorrectionHistoryView::reload);
    reload();
}

CorrectionHistoryBodyState CorrectionHistoryView::bodyState() const {
    return CorrectionHistoryRules::bodyState(isEnabled_, entries_.size());
}

void CorrectionHistoryView::reload() {
    isEnabled_ = history_.isEnabled();
    entries_ = isEnabled_ ? history_.load() : std::vector<QuilloCorrectionHistoryEntry>{};
    {
        const QSignalBlocker block(switch_);
        switch_->setChecked(isEnabled_);
    }
    rebuildBody();
}

void CorrectionHistoryView::rebuildBody() {
    while (rows_->count() > 1) {
        QLayoutItem* item = rows_->takeAt(0);
        delete item->widget(); // rows are never the sender of what led here
        delete item;
    }
    int index = 0;
    for (const auto& entry : entries_) {
        if (index > 0) rows_->insertWidget(rows_->count() - 1, SettingsControls::separator(rowsContainer_));
        rows_->insertWidget(rows_->count() - 1, new CorrectionHistoryRow(entry, rowsContainer_));
        ++index;
    }
    body_->setCurrentIndex(static_cast<int>(bodyState()));
}

} // namespace quillo
