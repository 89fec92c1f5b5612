#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Support/VirtualClock.h"
#include "Views/StartupLoadingView.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quillo;

TEST(StartupLoadingRules, RowsAndButtonText) {
    using S = StartupStatusState;
    struct Case {
        bool configured, signedIn, error, granted;
        S engine;
        const char* detail;
        const char* button;
    };
    const Case cases[] = {
        {true, true, false, true, S::ready, "Cloud Fast configured", "Close"},
        {true, true, false, false, S::ready, "Cloud Fast configured", "Continue in background"},
        {false, true, false, true, S::needsAttention, "Cloud Fast unavailable", "Continue in background"},
        {true, false, false, true, S::needsAttention, "Sign in in Settings", "Continue in background"},
        // A cloud error turns the engine red even while signed in; the button only asks for readiness.
        {true, true, true, true, S::failed, "Cloud Fast configured", "Close"},
        {false, false, true, false, S::failed, "Sign in in Settings", "Continue in background"},
    };
    for (const auto& c : cases) {
        StartupLoadingInputs in{c.configured, c.signedIn, std::nullopt};
        if (c.error) in.cloudErrorMessage = QStringLiteral("Cloud unavailable");
        EXPECT_EQ(StartupLoadingRules::engineStatus(in), c.engine) << c.detail;
        EXPECT_EQ(StartupLoadingRules::engineDetail(in), QString::fromUtf8(c.detail));
        EXPECT_EQ(StartupLoadingRules::dismissButtonTitle(in, c.granted), QString::fromUtf8(c.button)) << c.detail;
    }
    EXPECT_EQ(StartupLoadingRules::permissionDetail(true), QStringLiteral("Permission active"));
    EXPECT_EQ(StartupLoadingRules::permissionDetail(false),
              QStringLiteral("Required to detect the shortcut, copy, and replace text"));
    EXPECT_EQ(StartupLoadingRules::permissionNote(QStringLiteral("Quillo")),
              QStringLiteral("This permission applies specifically to Quillo"));
    EXPECT_LT(int(StartupStatusState::checking), int(StartupStatusState::ready));
    EXPECT_LT(int(StartupStatusState::needsAttention), int(StartupStatusState::failed));
}

namespace {

class LoadingViewTest : public ::testing::Test {
protected:
    VirtualClock clock;
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    std::unique_ptr<InputPermissionCoordinator> coordinator;
    StartupLoadingInputs inputs{true, true, std::nullopt};
    int dismissals = 0;
    std::unique_ptr<StartupLoadingView> view;

    void make() {
        coordinator = std::make_unique<InputPermissionCoordinator>(permission, workspace, clock);
        view = std::make_unique<StartupLoadingView>([this] { return inputs; }, *coordinator, QStringLiteral("Quillo"),
                                                    [this] { ++dismissals; });
    }
    QString text(const char* name) { return view->findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    QPushButton* button(const char* name) { return view->findChild<QPushButton*>(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(LoadingViewTest, ClosesItselfWhenTrustIsGrantedAndTheAppReturns) {
    make();
    view->show();
    EXPECT_EQ(dismissals, 0);
    EXPECT_EQ(button("dismissButton")->text(), QStringLiteral("Continue in background"));
    EXPECT_EQ(text("permissionDetail"), QStringLiteral("Required to detect the shortcut, copy, and replace text"));
    EXPECT_EQ(button("permissionButton")->text(), QStringLiteral("Allow"));

    // The prompt is asked; the user grants in the desktop's settings, then comes back.
    button("permissionButton")->click();
    EXPECT_EQ(permission.promptCount, 1);
    EXPECT_EQ(button("permissionButton")->text(), QStringLiteral("Open Settings"));
    clock.advance(1.0);
    EXPECT_EQ(dismissals, 0);
    permission.trusted = true;
    view->applicationBecameActive();
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(text("permissionDetail"), QStringLiteral("Permission active"));
    // Once only.
    view->applicationBecameActive();
    EXPECT_EQ(dismissals, 1);
}

TEST_F(LoadingViewTest, ReadyAtOpeningDismissesAtOnce) {
    permission.trusted = true;
    make();
    EXPECT_EQ(button("dismissButton")->text(), QStringLiteral("Close"));
    view->show();
    EXPECT_EQ(dismissals, 1);
}

TEST_F(LoadingViewTest, SignInAndErrorsUpdateTheRows) {
    permission.trusted = true;
    inputs.signedIn = false;
    make();
    view->show();
    EXPECT_EQ(dismissals, 0);
    EXPECT_EQ(text("engineDetail"), QStringLiteral("Sign in in Settings"));
    inputs.cloudErrorMessage = QStringLiteral("Cloud unavailable");
    view->inputsChanged();
    EXPECT_EQ(view->engineState(), StartupStatusState::failed);
    EXPECT_EQ(dismissals, 0);
    inputs.signedIn = true;
    view->inputsChanged();
    EXPECT_EQ(view->engineState(), StartupStatusState::failed);
    EXPECT_EQ(dismissals, 1); // ready is about configuration, sign-in and permission
}

TEST_F(LoadingViewTest, ButtonDismissesWhateverTheState) {
    inputs.cloudConfigured = false;
    make();
    view->show();
    button("dismissButton")->click();
    EXPECT_EQ(dismissals, 1);
}
