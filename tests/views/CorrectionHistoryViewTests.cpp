#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloCorrectionHistory.h"
#include "Views/CorrectionHistoryView.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

class CorrectionHistoryViewTest : public ::testing::Test {
protected:
    QTemporaryDir directory;
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    QuilloCorrectionHistory history{store, defaults, directory.path(), QStringLiteral("test.local-history")};
    std::unique_ptr<CorrectionHistoryView> view;

    void SetUp() override { ASSERT_TRUE(directory.isValid()); }
    void TearDown() override {
        view.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void make() {
        view = std::make_unique<CorrectionHistoryView>(history);
        view->resize(600, 500);
        view->show();
    }
    QCheckBox* historySwitch() { return view->findChild<QCheckBox*>("saveCorrectionHistory"); }
    QList<CorrectionHistoryRow*> rows() { return view->findChildren<CorrectionHistoryRow*>(); }
    QString shownPage() { return view->findChild<QStackedWidget*>("historyBody")->currentWidget()->objectName(); }
    QString placeholderTitle() {
        return view->findChild<QStackedWidget*>("historyBody")
            ->currentWidget()
            ->findChild<QLabel*>("placeholderTitle")
            ->text();
    }
};

} // namespace

TEST_F(CorrectionHistoryViewTest, ShowsHeaderSwitchNoticeAndRowsNewestFirst) {
    history.append("teh cat", "the cat", std::nullopt, std::nullopt); // written before speeds existed
    history.append("i has", "I have", std::vector{CloudCorrectionModel::fast}, CorrectionWritingMode::proofread);
    make();
    EXPECT_EQ(view->findChild<QPushButton*>("clearHistory")->text(), "Clear");
    EXPECT_EQ(historySwitch()->text(), "Save correction history");
    EXPECT_TRUE(historySwitch()->isChecked());
    EXPECT_EQ(view->findChild<QLabel*>("privacyNotice")->text(),
              "Up to 100 corrections are encrypted and stored only on this computer. Turning history off deletes all "
              "previously saved correction text.");
    EXPECT_EQ(view->bodyState(), CorrectionHistoryBodyState::entries);
    EXPECT_EQ(shownPage(), "historyEntries");

    const auto list = rows();
    ASSERT_EQ(list.size(), 2);
    // One row per entry, in list order: the newest first.
    ASSERT_EQ(view->entries().size(), 2u);
    EXPECT_EQ(view->entries()[0].originalText, "i has");
    CorrectionHistoryRow* newest = list[0];
    CorrectionHistoryRow* oldest = list[1];
    EXPECT_EQ(newest->entry(), view->entries()[0]);
    EXPECT_EQ(newest->findChild<QLabel*>("speed")->text(), "Fast");
    EXPECT_EQ(newest->findChild<QLabel*>("writingMode")->text(), "Proofread");
    EXPECT_EQ(newest->findChild<QLabel*>("before")->text(), "i has");
    EXPECT_EQ(newest->findChild<QLabel*>("after")->text(), "I have");
    EXPECT_EQ(oldest->findChild<QLabel*>("speed")->text(), "Correction speed");
    EXPECT_EQ(oldest->findChild<QLabel*>("writingMode"), nullptr);
    EXPECT_EQ(oldest->findChild<QLabel*>("date")->text(), CorrectionHistoryRules::dateText(oldest->entry().date));
    QStringList headings;
    for (auto* label : oldest->findChildren<QLabel*>()) headings << label->text();
    EXPECT_TRUE(headings.contains("Before"));
    EXPECT_TRUE(headings.contains("After"));
}

TEST_F(CorrectionHistoryViewTest, SwitchingOffEmptiesAtOnceAndOnAgainShowsNoCorrections) {
    history.append("a", "A", std::nullopt, std::nullopt);
    make();
    ASSERT_EQ(rows().size(), 1);
    historySwitch()->click();
    EXPECT_FALSE(history.isEnabled());
    EXPECT_EQ(view->bodyState(), CorrectionHistoryBodyState::historyOff);
    EXPECT_EQ(shownPage(), "historyOff");
    EXPECT_EQ(placeholderTitle(), "Correction history is off");
    EXPECT_EQ(view->findChild<QStackedWidget*>("historyBody")
                  ->currentWidget()
                  ->findChild<QLabel*>("placeholderDetail")
                  ->text(),
              "Quillo will not save correction text on this computer.");
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(history.load().empty());

    historySwitch()->click();
    EXPECT_TRUE(history.isEnabled());
    EXPECT_EQ(view->bodyState(), CorrectionHistoryBodyState::empty);
    EXPECT_EQ(placeholderTitle(), "No corrections");
    // The next correction appears without reopening anything.
    history.append("b", "B", std::vector{CloudCorrectionModel::veryVeryFast}, CorrectionWritingMode::contextual);
    ASSERT_EQ(rows().size(), 1);
    EXPECT_EQ(rows()[0]->findChild<QLabel*>("writingMode")->text(), "Contextual");
}

TEST_F(CorrectionHistoryViewTest, ClearKeepsTheSwitchOn) {
    history.append("a", "A", std::nullopt, std::nullopt);
    history.append("b", "B", std::nullopt, std::nullopt);
    make();
    view->findChild<QPushButton*>("clearHistory")->click();
    EXPECT_TRUE(historySwitch()->isChecked());
    EXPECT_TRUE(history.isEnabled());
    EXPECT_EQ(view->bodyState(), CorrectionHistoryBodyState::empty);
    EXPECT_EQ(placeholderTitle(), "No corrections");
    EXPECT_TRUE(rows().isEmpty());
}

TEST_F(CorrectionHistoryViewTest, FollowsChangesMadeElsewhere) {
    make();
    EXPECT_EQ(view->bodyState(), CorrectionHistoryBodyState::empty);
    history.setEnabled(false);
    EXPECT_FALSE(historySwitch()->isChecked());
    EXPECT_EQ(view->bodyState(), CorrectionHistoryBodyState::historyOff);
    history.setEnabled(true);
    history.append("x", "X", std::nullopt, std::nullopt);
    EXPECT_EQ(rows().size(), 1);
}
