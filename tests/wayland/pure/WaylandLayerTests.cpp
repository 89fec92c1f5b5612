// The Wayland layer's rules, without a compositor: the session choice, sway's IPC framing and
// tree, the trigger binding against a stand-in for sway's socket, the clipboard's type rules.
#include "App/DesktopPlatform.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/XkbKeymapLookup.h"
#include "Platform/Wayland/SwayIpc.h"
#include "Platform/Wayland/SwayTriggerBinding.h"
#include "Platform/Wayland/SwayWorkspace.h"
#include "Platform/Wayland/WaylandAccessibilityPermission.h"
#include "Platform/Wayland/WaylandPasteboard.h"
#include "Platform/Wayland/WaylandVirtualKeyboard.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace quillo;
namespace V = quillo::VirtualKeyCode;

namespace {

// sway's socket as far as the binding uses it: answers every command with success and
// remembers it, answers get_inputs with an empty list. Runs on a thread of its own, since
// requests wait for their answer.
class FakeSway : public QThread {
public:
    explicit FakeSway(QString path) : path_(std::move(path)) {
        start();
        while (!listening_.loadAcquire()) QThread::yieldCurrentThread();
    }
    ~FakeSway() override {
        quit();
        wait();
    }
    QStringList commands() const {
        QMutexLocker lock(&mutex_);
        return commands_;
    }

protected:
    void run() override {
        QLocalServer server;
        server.listen(path_);
        QObject::connect(&server, &QLocalServer::newConnection, [&] {
            QLocalSocket* socket = server.nextPendingConnection();
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                while (auto message = SwayIpc::takeMessage(*buffer)) {
                    QByteArray answer = "[]";
                    if (message->first == SwayIpc::runCommand) {
                        QMutexLocker lock(&mutex_);
                        commands_.append(QString::fromUtf8(message->second));
                        answer = R"([{"success":true}])";
                    }
                    socket->write(SwayIpc::frame(message->first, answer));
                }
            });
        });
        listening_.storeRelease(1);
        exec();
    }

private:
    QString path_;
    QAtomicInt listening_{0};
    mutable QMutex mutex_;
    QStringList commands_;
};

} // namespace

TEST(DesktopSession, WaylandWhenTheSessionSaysSoOrADisplayIsNamedAndSwayByItsSocket) {
    EXPECT_EQ(detectDesktopSession(QStringLiteral("x11"), QString(), QString()), DesktopSession::x11);
    EXPECT_EQ(detectDesktopSession(QString(), QString(), QStringLiteral("/run/sway.sock")), DesktopSession::x11)
        << "a stale sway socket in an X11 session";
    EXPECT_EQ(detectDesktopSession(QStringLiteral("Wayland"), QString(), QString()), DesktopSession::otherWayland);
    EXPECT_EQ(detectDesktopSession(QString(), QStringLiteral("wayland-1"), QString()), DesktopSession::otherWayland);
    EXPECT_EQ(detectDesktopSession(QStringLiteral("wayland"), QStringLiteral("wayland-1"), QStringLiteral("/s.sock")),
              DesktopSession::sway);
}

TEST(SwayIpc, MessagesAreFramedAndTakenWholeOnly) {
    QByteArray stream = SwayIpc::frame(SwayIpc::runCommand, "bindsym F8 exec x");
    stream += SwayIpc::frame(SwayIpc::windowEvent, R"({"change":"focus"})");
    QByteArray partial = stream.left(10);
    EXPECT_FALSE(SwayIpc::takeMessage(partial));
    EXPECT_EQ(partial.size(), 10) << "kept until the rest arrives";
    const auto first = SwayIpc::takeMessage(stream);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->first, quint32(SwayIpc::runCommand));
    EXPECT_EQ(first->second, "bindsym F8 exec x");
    const auto second = SwayIpc::takeMessage(stream);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->first, SwayIpc::windowEvent);
    EXPECT_TRUE(stream.isEmpty());
    QByteArray junk("not sway at all, no");
    EXPECT_FALSE(SwayIpc::takeMessage(junk));
    EXPECT_TRUE(junk.isEmpty());
}

TEST(SwayWorkspace, TheFocusedWindowOfTheTreeNativeOrXWayland) {
    const auto tree = [](const QJsonObject& leaf) {
        QJsonObject workspace{{"type", "workspace"}, {"focused", false}, {"nodes", QJsonArray{leaf}}};
        return QJsonObject{{"type", "root"},
                           {"nodes", QJsonArray{QJsonObject{{"type", "output"}, {"nodes", QJsonArray{workspace}}}}}};
    };
    const QJsonObject native{{"type", "con"}, {"focused", true}, {"pid", 42}, {"app_id", "org.xfce.mousepad"}};
    const auto mousepad = SwayWorkspace::focusedWindow(tree(native));
    ASSERT_TRUE(mousepad);
    EXPECT_EQ(SwayWorkspace::application(*mousepad), (RunningApplication{42, QStringLiteral("org.xfce.mousepad")}));

    const QJsonObject x11{{"type", "con"},
                          {"focused", true},
                          {"pid", 7},
                          {"app_id", QJsonValue::Null},
                          {"window_properties", QJsonObject{{"class", "XTerm"}, {"instance", "xterm"}}}};
    const auto xterm = SwayWorkspace::focusedWindow(tree(x11));
    ASSERT_TRUE(xterm);
    EXPECT_EQ(SwayWorkspace::application(*xterm).bundleIdentifier, "XTerm");

    QJsonObject floating = tree(QJsonObject{{"type", "con"}, {"focused", false}, {"pid", 3}});
    floating["floating_nodes"] = QJsonArray{QJsonObject{{"type", "floating_con"}, {"focused", true}, {"pid", 9}}};
    ASSERT_TRUE(SwayWorkspace::focusedWindow(floating));
    EXPECT_EQ(SwayWorkspace::focusedWindow(floating)->processIdentifier, 9);

    // An empty workspace has the focus: no application does.
    const QJsonObject empty{{"type", "workspace"}, {"focused", true}};
    EXPECT_FALSE(SwayWorkspace::focusedWindow(QJsonObject{{"nodes", QJsonArray{empty}}}));
}

TEST(SwayTriggerBinding, KeyNamesAndTheBindingLine) {
    EXPECT_EQ(SwayTriggerBinding::keyName(V::f8), std::optional<QString>(QStringLiteral("F8")));
    EXPECT_EQ(SwayTriggerBinding::keyName(V::home), std::optional<QString>(QStringLiteral("Home")));
    EXPECT_EQ(SwayTriggerBinding::bindCommand(QStringLiteral("F8"), QStringLiteral("quillo --trigger")),
              "bindsym F8 exec quillo --trigger");
    EXPECT_EQ(
        SwayTriggerBinding::configurationLine(QStringLiteral("F9"), QStringLiteral("'/opt/a b/quillo' --trigger")),
        "bindsym F9 exec '/opt/a b/quillo' --trigger");
}

TEST(SwayTriggerBinding, ATriggerChangeReplacesTheBindingAndStoppingRemovesIt) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("sway.sock"));
    FakeSway sway(path);
    SwayIpc ipc(path);
    SwayTriggerBinding binding(ipc, QStringLiteral("quillo --trigger"));
    EXPECT_FALSE(binding.setConsumedKey(V::f8)) << "nothing is bound before the tap exists";
    ASSERT_TRUE(binding.create());
    EXPECT_TRUE(binding.attachToMainLoop());
    binding.setEnabled(true);
    EXPECT_EQ(binding.boundKey(), std::optional<QString>(QStringLiteral("F8"))) << "the key asked for earlier";
    EXPECT_TRUE(binding.setConsumedKey(V::f9));
    EXPECT_TRUE(binding.setConsumedKey(V::f9));
    EXPECT_TRUE(binding.setConsumedKey(std::nullopt)) << "a modifier trigger: no binding";
    EXPECT_FALSE(binding.boundKey());
    EXPECT_TRUE(binding.setConsumedKey(V::f6));
    binding.setEnabled(false);
    binding.setEnabled(true);
    binding.destroy();
    EXPECT_EQ(sway.commands(),
              (QStringList{"bindsym F8 exec quillo --trigger", "unbindsym F8", "bindsym F9 exec quillo --trigger",
                           "unbindsym F9", "bindsym F6 exec quillo --trigger", "unbindsym F6",
                           "bindsym F6 exec quillo --trigger", "unbindsym F6"}));
}

TEST(SwayTriggerBinding, WithoutSwayNothingIsCreated) {
    SwayIpc none{QString()};
    SwayTriggerBinding binding(none, QStringLiteral("quillo --trigger"));
    EXPECT_FALSE(binding.create());
    EXPECT_TRUE(binding.setConsumedKey(std::nullopt));
}

TEST(WaylandPasteboard, BookkeepingTypesAreNeverReadAndPlainTextPrefersTheOwnersOwnForm) {
    for (const char* type : {"TARGETS", "SAVE_TARGETS", "MULTIPLE", "TIMESTAMP", "DELETE"})
        EXPECT_TRUE(WaylandPasteboard::isBookkeepingType(QString::fromLatin1(type))) << type;
    for (const char* type : {"text/plain", "image/png", "application/x-private", "UTF8_STRING"})
        EXPECT_FALSE(WaylandPasteboard::isBookkeepingType(QString::fromLatin1(type))) << type;
    const QStringList order = WaylandPasteboard::plainTextTypes();
    ASSERT_GE(order.size(), 3);
    EXPECT_EQ(order.first(), "UTF8_STRING");
    EXPECT_LT(order.indexOf(QStringLiteral("text/plain;charset=utf-8")), order.indexOf(QStringLiteral("text/plain")));
}

TEST(WaylandAccessibilityPermission, EachMissingFacilityIsNamedOnce) {
    using F = WaylandAccessibilityPermission::Facilities;
    EXPECT_TRUE(WaylandAccessibilityPermission::missingRequirements(F{true, true, true, true}).isEmpty());
    const QStringList none = WaylandAccessibilityPermission::missingRequirements(F{});
    ASSERT_EQ(none.size(), 4);
    EXPECT_TRUE(none[0].contains(QStringLiteral("zwp_virtual_keyboard_manager_v1")));
    EXPECT_TRUE(none[1].contains(QStringLiteral("zwlr_data_control_manager_v1")));
    EXPECT_TRUE(none[2].contains(QStringLiteral("$SWAYSOCK")));
    EXPECT_TRUE(none[3].contains(QStringLiteral("accessibility bus")));
    EXPECT_EQ(WaylandAccessibilityPermission::missingRequirements(F{true, false, true, true}).size(), 1);
}

TEST(WaylandAccessibilityPermission, AnotherCompositorIsNamedAsTheReasonBesidesWhatItLacks) {
    using F = WaylandAccessibilityPermission::Facilities;
    using C = WaylandAccessibilityPermission::Compositor;
    const QStringList offered =
        WaylandAccessibilityPermission::missingRequirements(F{true, true, false, true}, C::other);
    EXPECT_EQ(offered, QStringList{WaylandAccessibilityPermission::otherCompositorNotice()});
    const QStringList bare =
        WaylandAccessibilityPermission::missingRequirements(F{false, false, false, false}, C::other);
    ASSERT_EQ(bare.size(), 4);
    EXPECT_TRUE(bare[1].contains(QStringLiteral("zwp_virtual_keyboard_manager_v1")));
    EXPECT_FALSE(bare.join(u' ').contains(QStringLiteral("$SWAYSOCK")));
}

TEST(WaylandVirtualKeyboard, OnlyAKeymapWithoutAnyLatinGroupIsReplaced) {
    for (const char* layout : {"us", "fr", "us,ru", "ru,us", "gr,us"})
        EXPECT_TRUE(WaylandVirtualKeyboard::typesLatinLetters(XkbKeymapLookup::fromNames(QString::fromLatin1(layout))))
            << layout;
    for (const char* layout : {"ru", "gr", "ru,gr"})
        EXPECT_FALSE(WaylandVirtualKeyboard::typesLatinLetters(XkbKeymapLookup::fromNames(QString::fromLatin1(layout))))
            << layout;
}
