// The update dialogs: what each page says and which answer each control gives.
#include "Views/UpdateDialog.h"
#include "Views/WidgetUpdateUserDriver.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

UpdateFeedItem release(bool critical = false, std::optional<QUrl> page = std::nullopt) {
    UpdateFeedItem item;
    item.version = QStringLiteral("2.1.0");
    item.buildNumber = QStringLiteral("210");
    item.displayVersion = QStringLiteral("2.1");
    item.critical = critical;
    item.releaseNotes = QStringLiteral("<b>Faster</b> corrections.");
    item.infoUrl = page;
    item.package.size = 2048;
    return item;
}

class UpdateDialogTest : public ::testing::Test {
protected:
    QList<QUrl> opened;
    WidgetUpdateUserDriver driver{QStringLiteral("1.0"), [this](const QUrl& url) {
                                      opened.append(url);
                                      return true;
                                  }};
    QList<UpdateUserChoice> replies;
    int cancels = 0, acknowledgements = 0;

    QPushButton* button(const char* name) const {
        return driver.dialog() ? driver.dialog()->findChild<QPushButton*>(QLatin1String(name)) : nullptr;
    }
    std::function<void(UpdateUserChoice)> reply() {
        return [this](UpdateUserChoice c) { replies.append(c); };
    }
    void TearDown() override { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

} // namespace

TEST_F(UpdateDialogTest, AnUpdateShowsItsNotesAndTheChoices) {
    driver.showUpdateFound(release(), UpdateStage::notDownloaded, reply());
    UpdateDialog* dialog = driver.dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Software Update"));
    EXPECT_EQ(dialog->title(), QStringLiteral("Quillo 2.1 is available"));
    EXPECT_EQ(dialog->message(),
              QStringLiteral("Quillo 2.1 is now available—you have 1.0. Would you like to install it now?"));
    // Notes are shown as text: markup in a feed is never rendered.
    EXPECT_EQ(dialog->findChild<QTextBrowser*>(QStringLiteral("releaseNotes"))->toPlainText(),
              QStringLiteral("<b>Faster</b> corrections."));
    EXPECT_TRUE(button("skipVersion")->isVisible());
    EXPECT_TRUE(button("remindLater")->isVisible());
    EXPECT_FALSE(button("learnMore")->isVisible());
    EXPECT_EQ(button("primary")->text(), QStringLiteral("Download and Install"));

    button("primary")->click();
    button("primary")->click(); // one answer per page
    EXPECT_EQ(replies, QList<UpdateUserChoice>{UpdateUserChoice::install});
}

TEST_F(UpdateDialogTest, CriticalDownloadedUpdateCannotBeSkipped) {
    driver.showUpdateFound(release(true, QUrl(QStringLiteral("https://updates.example/2.1"))), UpdateStage::downloaded,
                           reply());
    EXPECT_FALSE(button("skipVersion")->isVisible());
    EXPECT_EQ(button("primary")->text(), QStringLiteral("Install Update"));
    EXPECT_TRUE(driver.dialog()->message().endsWith(QStringLiteral("This is an important update.")));
    button("learnMore")->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://updates.example/2.1"))});
    EXPECT_TRUE(replies.isEmpty());
    button("remindLater")->click();
    EXPECT_EQ(replies, QList<UpdateUserChoice>{UpdateUserChoice::dismiss});
}

TEST_F(UpdateDialogTest, ClosingTheWindowAnswersItsPage) {
    driver.showUpdateFound(release(), UpdateStage::notDownloaded, reply());
    driver.dialog()->close();
    EXPECT_EQ(replies, QList<UpdateUserChoice>{UpdateUserChoice::dismiss});
    driver.dismissUpdateInstallation();
    EXPECT_EQ(driver.dialog(), nullptr);

    driver.showUserInitiatedUpdateCheck([this] { ++cancels; });
    EXPECT_EQ(driver.dialog()->title(), QStringLiteral("Checking for updates…"));
    EXPECT_TRUE(button("cancel")->isVisible());
    EXPECT_FALSE(button("primary")->isVisible());
    driver.dialog()->close();
    EXPECT_EQ(cancels, 1);
    driver.dismissUpdateInstallation();

    driver.showUpdateNotFound([this] { ++acknowledgements; });
    EXPECT_EQ(driver.dialog()->title(), QStringLiteral("You're up to date!"));
    EXPECT_EQ(driver.dialog()->message(), QStringLiteral("Quillo 1.0 is currently the newest version available."));
    driver.dialog()->close();
    EXPECT_EQ(acknowledgements, 1);
}

TEST_F(UpdateDialogTest, OneWindowFollowsTheSessionAndGoesQuietly) {
    driver.showUserInitiatedUpdateCheck([this] { ++cancels; });
    UpdateDialog* first = driver.dialog();
    driver.showUpdateFound(release(), UpdateStage::notDownloaded, reply());
    EXPECT_EQ(driver.dialog(), first);
    button("primary")->click();
    driver.showDownloadInProgress(release(), [this] { ++cancels; });
    EXPECT_EQ(driver.dialog()->title(), QStringLiteral("Downloading Quillo 2.1…"));
    driver.showUpdaterError(UpdateError::packageMismatch(), [this] { ++acknowledgements; });
    EXPECT_EQ(driver.dialog()->title(), QStringLiteral("Update Error"));
    EXPECT_EQ(driver.dialog()->message(), UpdateError::packageMismatch().userMessage());
    // The session ends: the window closes without answering anything.
    driver.dismissUpdateInstallation();
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(acknowledgements, 0);
    EXPECT_EQ(driver.dialog(), nullptr);

    driver.showInstallerOpened(release(), QStringLiteral("/tmp/quillo-2.1.deb"), [this] { ++acknowledgements; });
    EXPECT_EQ(driver.dialog()->title(), QStringLiteral("Quillo 2.1 is ready to install"));
    EXPECT_TRUE(driver.dialog()->message().contains(QStringLiteral("/tmp/quillo-2.1.deb")));
    button("primary")->click();
    EXPECT_EQ(acknowledgements, 1);
}
