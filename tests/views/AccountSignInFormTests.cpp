#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloAuthService.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/VirtualClock.h"
#include "Views/AccountSignInForm.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quillo;
using Step = ScriptedCloudHttpTransport::Step;

namespace {

QByteArray sessionBody() {
    return QJsonDocument(QJsonObject{{"accessToken", "h.e30.s"},
                                     {"refreshToken", "r"},
                                     {"expiresIn", 3600},
                                     {"user", QJsonObject{{"id", "user-1"}, {"email", "person@example.com"}}}})
        .toJson(QJsonDocument::Compact);
}

class AccountSignInFormTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    ScriptedCloudHttpTransport transport{clock};
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    std::unique_ptr<QuilloAuthService> auth;
    std::unique_ptr<AccountSignInForm> form;

    void SetUp() override {
        QuilloAuthService::Options options;
        options.endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
        options.clock = &clock;
        options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        auth = std::make_unique<QuilloAuthService>(transport, store, defaults, options);
        form = std::make_unique<AccountSignInForm>(*auth, AccountSignInForm::Mode::signIn);
    }
    template <typename T> T* child(const char* name) { return form->findChild<T*>(QString::fromLatin1(name)); }
    void type(const QString& email, const QString& password) {
        child<QLineEdit>("email")->setText(email);
        child<QLineEdit>("password")->setText(password);
    }
    void settle() {
        for (int i = 0; i < 100 && clock.advanceToNextTimer(); ++i) {}
    }
    QString sentAction(std::size_t i) const {
        return QJsonDocument::fromJson(transport.sent().at(i).request.body).object().value("action").toString();
    }
};

} // namespace

TEST_F(AccountSignInFormTest, SubmitsOnlyWithAddressAndPasswordAndClearsThePasswordAfterSigningIn) {
    auto* submit = child<QPushButton>("submit");
    EXPECT_EQ(submit->text(), "Sign In");
    EXPECT_FALSE(submit->isEnabled());
    type("  person@example.com ", "");
    EXPECT_FALSE(submit->isEnabled());
    child<QLineEdit>("password")->setText("secret-words");
    EXPECT_TRUE(submit->isEnabled());

    QSignalSpy signedIn(form.get(), &AccountSignInForm::signedIn);
    transport.enqueue(Step::json(200, sessionBody(), {}, 0.5));
    emit child<QLineEdit>("password")->returnPressed();
    // While the request runs the form cannot be submitted twice.
    EXPECT_TRUE(child<QLabel>("busy")->isVisibleTo(form.get()));
    EXPECT_FALSE(submit->isEnabled());
    settle();

    ASSERT_EQ(transport.sent().size(), 1u);
    EXPECT_EQ(sentAction(0), "sign_in");
    EXPECT_EQ(QJsonDocument::fromJson(transport.sent()[0].request.body).object().value("email").toString(),
              "person@example.com");
    EXPECT_EQ(signedIn.count(), 1);
    EXPECT_TRUE(auth->isSignedIn());
    EXPECT_TRUE(child<QLineEdit>("password")->text().isEmpty());
}

TEST_F(AccountSignInFormTest, ShowsTheServiceErrorAndKeepsWhatWasTyped) {
    type("person@example.com", "wrong-password");
    transport.enqueue(Step::json(401, R"({"error":"invalid_credentials"})"));
    QSignalSpy signedIn(form.get(), &AccountSignInForm::signedIn);
    form->submit();
    settle();
    auto* error = child<QLabel>("authError");
    EXPECT_TRUE(error->isVisibleTo(form.get()));
    EXPECT_EQ(error->text(), auth->authError().value_or("?"));
    EXPECT_EQ(signedIn.count(), 0);
    EXPECT_EQ(child<QLineEdit>("password")->text(), "wrong-password");
}

TEST_F(AccountSignInFormTest, CreateAccountModeSignsUpAndShowsTheConfirmationNotice) {
    QSignalSpy modes(form.get(), &AccountSignInForm::modeChanged);
    child<QToolButton>("createAccountTab")->click();
    EXPECT_EQ(modes.count(), 1);
    EXPECT_EQ(child<QPushButton>("submit")->text(), "Create Account");
    EXPECT_FALSE(child<QPushButton>("forgotPassword")->isVisibleTo(form.get()));

    type("new@example.com", "long-enough-password");
    transport.enqueue(Step::json(200, R"({"emailConfirmationRequired":true})"));
    form->submit();
    settle();
    EXPECT_EQ(sentAction(0), "sign_up");
    EXPECT_FALSE(auth->isSignedIn());
    auto* notice = child<QLabel>("authNotice");
    EXPECT_TRUE(notice->isVisibleTo(form.get()));
    EXPECT_EQ(notice->text(), "Check your email to confirm your account, then sign in.");

    // The confirmation mail can be sent again for the typed address.
    transport.enqueue(Step::json(200, "{}"));
    child<QPushButton>("resendConfirmation")->click();
    settle();
    EXPECT_EQ(sentAction(1), "resend_confirmation");
    EXPECT_EQ(notice->text(), "If this address has a pending account, a new confirmation email has been sent.");
}
