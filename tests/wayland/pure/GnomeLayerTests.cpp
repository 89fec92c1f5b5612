// The GNOME layer's rules, without GNOME: the session and route choice, the keys sent through a
// remote-desktop session, the clipboard over its channel (restored byte for byte, kept served),
// the trigger's custom shortcut beside the user's own, and what the permission window says.
#include "App/DesktopPlatform.h"
#include "Models/ModifierFlags.h"
#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/XkbKeymapLookup.h"
#include "Platform/Wayland/GSettingsStore.h"
#include "Platform/Wayland/GnomeAccessibilityPermission.h"
#include "Platform/Wayland/GnomeInputSources.h"
#include "Platform/Wayland/GnomeTriggerBinding.h"
#include "Platform/Wayland/MutterRemoteDesktopSession.h"
#include "Platform/Wayland/PortalRemoteDesktopSession.h"
#include "Platform/Wayland/RemoteDesktopChannels.h"
#include "Platform/Wayland/RemoteDesktopKeyboard.h"
#include "Platform/Wayland/RemoteDesktopPasteboard.h"
#include "Platform/Wayland/WaylandConnection.h"
#include "Support/PasteboardTransaction.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utility>

using namespace quillo;
namespace V = quillo::VirtualKeyCode;
using Route = GnomeRemoteDesktop::Route;

TEST(DesktopSession, GnomeByTheCurrentDesktopOnWaylandOnly) {
    const QString wayland = QStringLiteral("wayland");
    EXPECT_EQ(detectDesktopSession(wayland, QString(), QString(), QStringLiteral("GNOME")), DesktopSession::gnome);
    EXPECT_EQ(detectDesktopSession(wayland, QString(), QString(), QStringLiteral("ubuntu:GNOME")),
              DesktopSession::gnome);
    EXPECT_EQ(detectDesktopSession(wayland, QString(), QString(), QStringLiteral("GNOME-Flashback:Unity")),
              DesktopSession::otherWayland);
    EXPECT_EQ(detectDesktopSession(QStringLiteral("x11"), QString(), QString(), QStringLiteral("GNOME")),
              DesktopSession::x11);
    EXPECT_EQ(detectDesktopSession(wayland, QString(), QStringLiteral("/s.sock"), QStringLiteral("GNOME")),
              DesktopSession::sway);
}

TEST(GnomeRemoteDesktop, PortalKeysFirstAndMutterForWhatThePortalLacks) {
    using Offer = GnomeRemoteDesktop::Offer;
    using Routes = GnomeRemoteDesktop::Routes;
    const PortalRemoteDesktopSession::Offer none;
    const PortalRemoteDesktopSession::Offer keysOnly{true, 2, true, false};
    const PortalRemoteDesktopSession::Offer withClipboard{true, 2, true, true};
    const PortalRemoteDesktopSession::Offer noKeyboard{true, 2, false, true};
    // GNOME 43 to 44: the portal types, Mutter keeps the clipboard.
    EXPECT_EQ(GnomeRemoteDesktop::choose(Offer{keysOnly, true}), (Routes{Route::portal, Route::mutter}));
    // GNOME 45 on: the portal does both; Mutter is not used.
    EXPECT_EQ(GnomeRemoteDesktop::choose(Offer{withClipboard, true}), (Routes{Route::portal, Route::portal}));
    EXPECT_EQ(GnomeRemoteDesktop::choose(Offer{withClipboard, false}), (Routes{Route::portal, Route::portal}));
    // No portal: Mutter's own session, for both.
    EXPECT_EQ(GnomeRemoteDesktop::choose(Offer{none, true}), (Routes{Route::mutter, Route::mutter}));
    EXPECT_EQ(GnomeRemoteDesktop::choose(Offer{noKeyboard, true}), (Routes{Route::mutter, Route::mutter}));
    // A portal that types but shares no clipboard, without Mutter: keys, no clipboard.
    EXPECT_EQ(GnomeRemoteDesktop::choose(Offer{keysOnly, false}), (Routes{Route::portal, Route::none}));
    EXPECT_EQ(GnomeRemoteDesktop::choose(Offer{none, false}), (Routes{Route::none, Route::none}));
}

TEST(PortalRemoteDesktopSession, KeyboardOnlyAndTheTokenWhereThePortalKeepsPermissions) {
    const PortalRemoteDesktopSession::Offer versionOne{true, 1, true, false};
    const PortalRemoteDesktopSession::Offer versionTwo{true, 2, true, false};
    const QVariantMap old =
        PortalRemoteDesktopSession::deviceOptions(versionOne, QStringLiteral("tok"), QStringLiteral("h1"));
    EXPECT_EQ(old.value(QStringLiteral("types")).toUInt(), 1U);
    EXPECT_EQ(old.value(QStringLiteral("handle_token")).toString(), QStringLiteral("h1"));
    EXPECT_FALSE(old.contains(QStringLiteral("persist_mode"))) << "a version 1 portal refuses unknown options";
    EXPECT_FALSE(old.contains(QStringLiteral("restore_token")));

    const QVariantMap first = PortalRemoteDesktopSession::deviceOptions(versionTwo, QString(), QStringLiteral("h2"));
    EXPECT_EQ(first.value(QStringLiteral("persist_mode")).toUInt(), 2U);
    EXPECT_FALSE(first.contains(QStringLiteral("restore_token")));
    const QVariantMap again =
        PortalRemoteDesktopSession::deviceOptions(versionTwo, QStringLiteral("tok"), QStringLiteral("h3"));
    EXPECT_EQ(again.value(QStringLiteral("restore_token")).toString(), QStringLiteral("tok"));

    EXPECT_EQ(PortalRemoteDesktopSession::requestPath(QStringLiteral(":1.42"), QStringLiteral("quillo7")),
              QStringLiteral("/org/freedesktop/portal/desktop/request/1_42/quillo7"));
}

namespace {

// A remote-desktop clipboard whose other owners are this test: reads come from `ownerData`,
// and what we serve is read back from the pipe of each transfer.
class FakeClipboardChannel final : public RemoteClipboardChannel {
public:
    bool isClipboardEnabled() const override { return enabled; }
    bool setSelection(const QStringList& mimeTypes) override {
        if (!enabled || mimeTypes.isEmpty()) return false;
        selections.append(mimeTypes);
        echoes.append(mimeTypes);
        return true;
    }
    std::optional<int> selectionRead(const QString& mimeType) override {
        ++reads;
        const auto data = ownerData.constFind(mimeType);
        if (data == ownerData.constEnd()) return std::nullopt;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
        if (!silentTypes.contains(mimeType)) {
            EXPECT_EQ(::write(fds[1], data->constData(), static_cast<size_t>(data->size())), data->size());
            ::close(fds[1]);
        } else {
            heldWriters.append(fds[1]);
        }
        return fds[0];
    }
    std::optional<int> selectionWrite(quint32 serial) override {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
        transferReaders.insert(serial, fds[0]);
        return fds[1];
    }
    void selectionWriteDone(quint32 serial, bool success) override { writesDone.append({serial, success}); }

    // The desktop announces our offers after the calls that made them return, as Mutter does.
    void deliverEchoes() {
        for (const QStringList& types : std::exchange(echoes, {})) emit selectionOwnerChanged(types, true);
    }
    // Another application takes the clipboard, after what the desktop announced before.
    void takeSelection(const QHash<QString, QByteArray>& data) {
        deliverEchoes();
        ownerData = data;
        emit selectionOwnerChanged(data.keys(), false);
    }
    // The desktop asks us for a type; what we wrote, or none when we refused.
    std::optional<QByteArray> transfer(const QString& mimeType) {
        const quint32 serial = ++serial_;
        emit selectionTransfer(mimeType, serial);
        const int fd = transferReaders.take(serial);
        if (!fd) return std::nullopt;
        QByteArray bytes;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, n);
        ::close(fd);
        return bytes;
    }
    ~FakeClipboardChannel() override {
        for (int fd : std::as_const(heldWriters)) ::close(fd);
    }

    bool enabled = true;
    QHash<QString, QByteArray> ownerData;
    QStringList silentTypes;
    QList<QStringList> selections;
    QList<QStringList> echoes;
    QHash<quint32, int> transferReaders;
    QList<std::pair<quint32, bool>> writesDone;
    QList<int> heldWriters;
    int reads = 0;

private:
    quint32 serial_ = 0;
};

const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);

QHash<QString, QByteArray> richClipboard() {
    return {{QStringLiteral("text/plain;charset=utf-8"), QByteArray("caf\xc3\xa9\r\nline")},
            {QStringLiteral("text/html"), QByteArray("<b>bold</b>")},
            {QStringLiteral("image/png"), png},
            {QStringLiteral("application/x-private"), QByteArray("\0\1\2", 3)},
            {QStringLiteral("SAVE_TARGETS"), QByteArray()}};
}

} // namespace

TEST(RemoteDesktopPasteboard, AnotherOwnersTypesAreReadByteForByteAndBookkeepingSkipped) {
    FakeClipboardChannel channel;
    RemoteDesktopPasteboard pasteboard(channel);
    const qint64 before = pasteboard.changeCount();
    channel.takeSelection(richClipboard());
    EXPECT_EQ(pasteboard.changeCount(), before + 1);
    const QStringList types = pasteboard.types(0);
    EXPECT_EQ(types.size(), 4);
    EXPECT_FALSE(types.contains(QStringLiteral("SAVE_TARGETS")));
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("image/png")), std::optional<QByteArray>(png));
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("application/x-private")),
              std::optional<QByteArray>(QByteArray("\0\1\2", 3)));
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("SAVE_TARGETS")), std::nullopt);
    EXPECT_EQ(pasteboard.string(PasteboardTypes::plainText), std::optional<QString>(QStringLiteral("café\r\nline")));
    EXPECT_EQ(pasteboard.itemCount(), std::optional<int>(1));

    channel.enabled = false;
    EXPECT_EQ(pasteboard.itemCount(), std::nullopt) << "no session, no clipboard: unreadable rather than empty";
}

TEST(RemoteDesktopPasteboard, AnOwnerThatNeverAnswersCostsTheTimeLimitOnceAndGivesNothing) {
    FakeClipboardChannel channel;
    RemoteDesktopPasteboard pasteboard(channel);
    channel.silentTypes = {QStringLiteral("text/html")};
    channel.takeSelection(richClipboard());
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("text/html")), std::nullopt);
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("image/png")), std::optional<QByteArray>(png));
}

TEST(RemoteDesktopPasteboard, OurWriteCountsOnceAndIsServedUntilAnotherOwnerTakesIt) {
    FakeClipboardChannel channel;
    RemoteDesktopPasteboard pasteboard(channel);
    PasteboardItem item;
    item.setString(PasteboardTypes::plainText, QStringLiteral("Corrected text."));
    item.setString(QStringLiteral("com.quillo.transient-pasteboard"), QStringLiteral("marker"));
    ASSERT_TRUE(pasteboard.writeItems({item}));
    const qint64 written = pasteboard.changeCount();
    ASSERT_EQ(channel.selections.size(), 1);
    EXPECT_TRUE(channel.selections.first().contains(QStringLiteral("UTF8_STRING")))
        << "toolkits asking for their own text type find the text";
    // An owner the desktop announced before our write, delivered after it, held the clipboard
    // before us; the desktop's announcement of our own write is not another change either.
    emit channel.selectionOwnerChanged({QStringLiteral("text/plain")}, false);
    EXPECT_EQ(pasteboard.changeCount(), written);
    EXPECT_TRUE(pasteboard.ownsSelection());
    channel.deliverEchoes();
    EXPECT_EQ(pasteboard.changeCount(), written);
    EXPECT_TRUE(pasteboard.ownsSelection());
    EXPECT_EQ(pasteboard.string(QStringLiteral("com.quillo.transient-pasteboard")),
              std::optional<QString>(QStringLiteral("marker")));
    EXPECT_EQ(channel.reads, 0) << "our own data is never read back through the desktop";

    // Every reader is served, not only the first.
    EXPECT_EQ(channel.transfer(QStringLiteral("text/plain;charset=utf-8")), QByteArray("Corrected text."));
    EXPECT_EQ(channel.transfer(QStringLiteral("UTF8_STRING")), QByteArray("Corrected text."));
    EXPECT_EQ(channel.transfer(QStringLiteral("image/png")), std::nullopt) << "a type we do not offer is refused";
    ASSERT_EQ(channel.writesDone.size(), 3);
    EXPECT_TRUE(channel.writesDone[0].second);
    EXPECT_FALSE(channel.writesDone[2].second);

    channel.takeSelection({{QStringLiteral("text/plain"), QByteArray("theirs")}});
    EXPECT_EQ(pasteboard.changeCount(), written + 1);
    EXPECT_FALSE(pasteboard.ownsSelection());
    EXPECT_EQ(channel.transfer(QStringLiteral("UTF8_STRING")), std::nullopt) << "no longer ours to serve";
}

TEST(RemoteDesktopPasteboard, TheUsersClipboardComesBackByteForByte) {
    FakeClipboardChannel channel;
    RemoteDesktopPasteboard pasteboard(channel);
    channel.takeSelection(richClipboard());
    const PasteboardSnapshot snapshot = PasteboardSnapshot::capture(pasteboard);
    pasteboard.clearContents();
    EXPECT_TRUE(pasteboard.types(0).isEmpty()) << "emptied, though the desktop needs a type to offer";
    EXPECT_EQ(pasteboard.itemCount(), std::optional<int>(0));
    const qint64 cleared = pasteboard.changeCount();
    EXPECT_TRUE(snapshot.restoreIfUnchanged(cleared, pasteboard));
    for (const auto& [type, bytes] : richClipboard().asKeyValueRange()) {
        if (type == QLatin1String("SAVE_TARGETS")) continue;
        EXPECT_EQ(channel.transfer(type), std::optional<QByteArray>(bytes)) << qPrintable(type);
    }
    EXPECT_FALSE(channel.selections.last().contains(QStringLiteral("UTF8_STRING")))
        << "the owner's own types are restored exactly, none added";

    // Someone copied meanwhile: their clipboard stays.
    pasteboard.clearContents();
    const qint64 ours = pasteboard.changeCount();
    channel.takeSelection({{QStringLiteral("text/plain"), QByteArray("newer")}});
    EXPECT_FALSE(snapshot.restoreIfUnchanged(ours, pasteboard));
    EXPECT_EQ(pasteboard.data(0, QStringLiteral("text/plain")), std::optional<QByteArray>(QByteArray("newer")));
}

TEST(GVariantText, StringArraysAsGsettingsPrintsThem) {
    using GVariantText::parseStringArray;
    EXPECT_EQ(parseStringArray(QStringLiteral("@as []")), std::optional<QStringList>(QStringList()));
    EXPECT_EQ(parseStringArray(QStringLiteral("[]")), std::optional<QStringList>(QStringList()));
    EXPECT_EQ(parseStringArray(QStringLiteral("['/a/custom0/', '/a/b c/']")),
              std::optional<QStringList>({QStringLiteral("/a/custom0/"), QStringLiteral("/a/b c/")}));
    EXPECT_EQ(
        parseStringArray(QStringLiteral("[\"it's\", 'x\\'y', 'back\\\\slash']")),
        std::optional<QStringList>({QStringLiteral("it's"), QStringLiteral("x'y"), QStringLiteral("back\\slash")}));
    for (const char* broken : {"", "['a'", "'a'", "['a' 'b']", "['a',]", "['a'] x", "[a]"})
        EXPECT_EQ(parseStringArray(QString::fromLatin1(broken)), std::nullopt) << broken;

    const QStringList items{QStringLiteral("/p/custom0/"), QStringLiteral("it's"), QStringLiteral("a\\b")};
    EXPECT_EQ(parseStringArray(GVariantText::stringArray(items)), std::optional<QStringList>(items));
    EXPECT_EQ(GVariantText::stringArray({}), QStringLiteral("@as []"));
    EXPECT_EQ(GVariantText::parseString(GVariantText::string(QStringLiteral("quillo --trigger 'x'"))),
              std::optional<QString>(QStringLiteral("quillo --trigger 'x'")));
}

namespace {

class InMemoryGSettings final : public GSettingsStore {
public:
    bool hasSchema(const QString& schema) const override { return installed && schema == GnomeTriggerBinding::schema; }
    std::optional<QString> value(const QString& schema, const QString& path, const QString& key) const override {
        const auto found = values.constFind(schema + path + QLatin1Char('#') + key);
        if (found != values.constEnd()) return *found;
        if (key == GnomeTriggerBinding::listKey) return QStringLiteral("@as []");
        return QStringLiteral("''");
    }
    bool setValue(const QString& schema, const QString& path, const QString& key, const QString& value) override {
        if (readOnly) return false;
        values.insert(schema + path + QLatin1Char('#') + key, value);
        return true;
    }
    bool reset(const QString& schema, const QString& path, const QString& key) override {
        values.remove(schema + path + QLatin1Char('#') + key);
        return true;
    }

    QStringList list() const {
        return GVariantText::parseStringArray(
                   *value(GnomeTriggerBinding::schema, QString(), GnomeTriggerBinding::listKey))
            .value_or(QStringList{QStringLiteral("unreadable")});
    }
    QString entry(const QString& key) const {
        return *value(GnomeTriggerBinding::entrySchema, GnomeTriggerBinding::entryPath, key);
    }
    void setList(const QString& text) {
        values.insert(GnomeTriggerBinding::schema + QLatin1Char('#') + GnomeTriggerBinding::listKey, text);
    }

    QHash<QString, QString> values;
    bool installed = true;
    bool readOnly = false;
};

const QString usersOwn = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/");

} // namespace

TEST(GnomeTriggerBinding, TheShortcutFollowsTheTriggerBesideTheUsersOwn) {
    InMemoryGSettings settings;
    settings.setList(GVariantText::stringArray({usersOwn}));
    GnomeTriggerBinding binding(settings, QStringLiteral("/usr/bin/quillo --trigger"));
    ASSERT_TRUE(binding.create());
    ASSERT_TRUE(binding.setConsumedKey(V::f8));
    binding.setEnabled(true);
    EXPECT_EQ(settings.list(), (QStringList{usersOwn, GnomeTriggerBinding::entryPath}));
    EXPECT_EQ(settings.entry(QStringLiteral("binding")), QStringLiteral("'F8'"));
    EXPECT_EQ(settings.entry(QStringLiteral("command")), QStringLiteral("'/usr/bin/quillo --trigger'"));
    EXPECT_EQ(settings.entry(QStringLiteral("name")), QStringLiteral("'Quillo'"));

    // Another key in Settings: the same entry, the new key, the list untouched.
    ASSERT_TRUE(binding.setConsumedKey(V::f6));
    EXPECT_EQ(settings.entry(QStringLiteral("binding")), QStringLiteral("'F6'"));
    EXPECT_EQ(settings.list(), (QStringList{usersOwn, GnomeTriggerBinding::entryPath}));

    // A modifier alone cannot be a GNOME shortcut: ours goes, the user's stays.
    EXPECT_FALSE(binding.setConsumedKey(V::rightOption));
    EXPECT_EQ(settings.list(), QStringList{usersOwn});
    EXPECT_EQ(binding.boundKey(), std::nullopt);

    ASSERT_TRUE(binding.setConsumedKey(V::f8));
    // The user added a shortcut of their own meanwhile: stopping keeps it.
    settings.setList(GVariantText::stringArray({usersOwn, GnomeTriggerBinding::entryPath, QStringLiteral("/x/new/")}));
    binding.setEnabled(false);
    EXPECT_EQ(settings.list(), (QStringList{usersOwn, QStringLiteral("/x/new/")}));
    EXPECT_EQ(settings.entry(QStringLiteral("binding")), QStringLiteral("''"));
    binding.setEnabled(true);
    EXPECT_EQ(settings.list(), (QStringList{usersOwn, QStringLiteral("/x/new/"), GnomeTriggerBinding::entryPath}));
    binding.destroy();
    EXPECT_EQ(settings.list(), (QStringList{usersOwn, QStringLiteral("/x/new/")}));
}

TEST(GnomeTriggerBinding, NothingIsWrittenOverAListItCannotRead) {
    InMemoryGSettings settings;
    settings.setList(QStringLiteral("<unexpected>"));
    GnomeTriggerBinding binding(settings, QStringLiteral("quillo --trigger"));
    ASSERT_TRUE(binding.create());
    EXPECT_FALSE(binding.setConsumedKey(V::f8));
    EXPECT_EQ(*settings.value(GnomeTriggerBinding::schema, QString(), GnomeTriggerBinding::listKey),
              QStringLiteral("<unexpected>"));
    EXPECT_EQ(binding.boundKey(), std::nullopt);

    InMemoryGSettings missing;
    missing.installed = false;
    GnomeTriggerBinding unavailable(missing, QStringLiteral("quillo --trigger"));
    EXPECT_FALSE(unavailable.create());
    EXPECT_FALSE(unavailable.setConsumedKey(V::f8));
    EXPECT_TRUE(missing.values.isEmpty());
}

TEST(GnomeTriggerBinding, AcceleratorsAreGnomesKeyNames) {
    EXPECT_EQ(GnomeTriggerBinding::accelerator(V::f8), std::optional<QString>(QStringLiteral("F8")));
    EXPECT_EQ(GnomeTriggerBinding::accelerator(V::rightCommand), std::nullopt);
    EXPECT_EQ(GnomeTriggerBinding::accelerator(V::capsLock), std::nullopt);
}

TEST(GnomeAccessibilityPermission, TheDialogIsExplainedFirstAndARefusalCanBeAskedAgain) {
    using F = GnomeAccessibilityPermission::Facilities;
    using C = GnomeRemoteDesktop::Consent;
    const GnomeRemoteDesktop::Routes gnome43{Route::portal, Route::mutter};
    const F trusted{gnome43, C::allowed, true, true, true, true};
    EXPECT_TRUE(GnomeAccessibilityPermission::isTrusted(trusted));
    EXPECT_TRUE(GnomeAccessibilityPermission::missingRequirements(trusted).isEmpty());

    const QStringList first =
        GnomeAccessibilityPermission::missingRequirements(F{gnome43, C::notAsked, false, false, true, true});
    ASSERT_EQ(first.size(), 1);
    EXPECT_TRUE(first.first().contains(QStringLiteral("\"Allow remote interaction\"")));
    EXPECT_TRUE(first.first().contains(QStringLiteral("Custom Shortcuts")));

    const QStringList refused =
        GnomeAccessibilityPermission::missingRequirements(F{gnome43, C::refused, false, false, true, true});
    EXPECT_EQ(refused, QStringList{GnomeRemoteDesktop::refusedSentence()});
    const QStringList revoked =
        GnomeAccessibilityPermission::missingRequirements(F{gnome43, C::revoked, false, false, true, true});
    EXPECT_EQ(revoked, QStringList{GnomeRemoteDesktop::revokedSentence()});
    // Keys allowed but Mutter's clipboard gone: still not trusted, and said.
    const F noClipboard{gnome43, C::allowed, true, false, true, true};
    EXPECT_FALSE(GnomeAccessibilityPermission::isTrusted(noClipboard));
    EXPECT_EQ(GnomeAccessibilityPermission::missingRequirements(noClipboard).size(), 1);

    const QStringList nothing = GnomeAccessibilityPermission::missingRequirements(
        F{GnomeRemoteDesktop::Routes{}, C::notAsked, false, false, false, false});
    EXPECT_EQ(nothing.size(), 4);
    EXPECT_TRUE(nothing.first().contains(QStringLiteral("xdg-desktop-portal-gnome")));
    for (const F& f :
         {F{gnome43, C::allowed, true, true, false, true}, F{gnome43, C::allowed, true, true, true, false}})
        EXPECT_FALSE(GnomeAccessibilityPermission::isTrusted(f));
}

namespace {

class RecordingKeyChannel final : public RemoteKeyChannel {
public:
    bool canSendKeys() const override { return running; }
    bool notifyKeycode(quint32 evdevCode, bool pressed) override {
        events.append({evdevCode, pressed});
        return true;
    }
    bool running = true;
    QList<std::pair<quint32, bool>> events;
};

} // namespace

TEST(RemoteDesktopKeyboard, ShortcutsAreTypedAtTheLayoutsKeyWithModifiersAround) {
    WaylandConnection noDisplay;
    RecordingKeyChannel channel;
    RemoteKeyChannel* current = &channel;
    {
        RemoteDesktopKeyboard keyboard(noDisplay, [&current] { return current; });
        keyboard.setKeymap(XkbKeymapLookup::fromNames(QStringLiteral("fr")));
        ASSERT_TRUE(keyboard.isAvailable());
        const auto a = keyboard.keyCode(u'a');
        ASSERT_EQ(a, std::optional<quint16>(V::q)) << "AZERTY types a on the QWERTY Q key";
        ASSERT_TRUE(keyboard.post({*a, true, ModifierFlags::control}));
        ASSERT_TRUE(keyboard.post({*a, false, ModifierFlags::control}));
        EXPECT_EQ(channel.events, (QList<std::pair<quint32, bool>>{{29, true}, {16, true}, {16, false}, {29, false}}));
        EXPECT_TRUE(keyboard.heldKeys().isEmpty());

        // Ended between press and release: a modifier left down is released on the way out.
        channel.events.clear();
        ASSERT_TRUE(keyboard.post({V::c, true, ModifierFlags::control}));
        EXPECT_EQ(keyboard.heldKeys(), QList<quint32>{29});
    }
    EXPECT_EQ(channel.events.last(), (std::pair<quint32, bool>{29, false}));

    RemoteDesktopKeyboard keyboard(noDisplay, [&current] { return current; });
    keyboard.setKeymap(XkbKeymapLookup::fromNames(QStringLiteral("us")));
    channel.running = false;
    EXPECT_FALSE(keyboard.isAvailable()) << "nothing is typed before the user allowed it";
    EXPECT_FALSE(keyboard.post({V::a, true, ModifierFlags::control}));
    current = nullptr;
    EXPECT_FALSE(keyboard.isAvailable());
}

// Against the real Mutter when the session bus has one (a GNOME session, or the GNOME suite's);
// skipped elsewhere. Two of our sessions: what one offers, the other sees announced, with its
// types, and the first is asked for its data through a transfer.
TEST(MutterRemoteDesktopSession, AnOfferIsAnnouncedToAnotherSessionWithItsTypes) {
    if (!MutterRemoteDesktopSession::isOffered()) GTEST_SKIP() << "no Mutter on this session bus";
    MutterRemoteDesktopSession first;
    MutterRemoteDesktopSession second;
    ASSERT_TRUE(first.enableClipboard());
    ASSERT_TRUE(second.enableClipboard());
    EXPECT_TRUE(first.canSendKeys());
    EXPECT_TRUE(first.notifyKeycode(42, true)) << "a Shift press and release, harmless wherever the focus is";
    EXPECT_TRUE(first.notifyKeycode(42, false));
    RemoteDesktopPasteboard ours(first);
    RemoteDesktopPasteboard theirs(second);
    int transfers = 0;
    QObject::connect(&first, &RemoteClipboardChannel::selectionTransfer, [&transfers] { ++transfers; });

    const qint64 before = theirs.changeCount();
    PasteboardItem item;
    item.setData(QStringLiteral("application/x-quillo-test"), QByteArray("\0\1", 2));
    item.setString(QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("offered"));
    ASSERT_TRUE(ours.writeItems({item}));
    const qint64 written = ours.changeCount();
    const QDeadlineTimer deadline(5000);
    while (theirs.changeCount() == before && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(theirs.types(0),
              (QStringList{QStringLiteral("application/x-quillo-test"), QStringLiteral("text/plain;charset=utf-8")}));
    EXPECT_FALSE(theirs.ownsSelection());
    EXPECT_EQ(ours.changeCount(), written) << "Mutter's announcement of our own offer is not a change";
    // Mutter keeps a copy of offered text, so it asks for it at once.
    const QDeadlineTimer asked(5000);
    while (transfers == 0 && !asked.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_GT(ours.servedTransfers(), 0);
}

TEST(GnomeInputSources, TheActiveLayoutIsTheFirstRecentKeyboardSource) {
    const QString sources = QStringLiteral("[('xkb', 'us'), ('ibus', 'anthy'), ('xkb', 'fr+azerty')]");
    EXPECT_EQ(GnomeInputSources::activeGroup(sources, QStringLiteral("[('xkb', 'fr+azerty'), ('xkb', 'us')]")),
              std::optional<quint32>(1))
        << "input methods are no layout of the keymap";
    EXPECT_EQ(GnomeInputSources::activeGroup(sources, QStringLiteral("[('xkb', 'us')]")), std::optional<quint32>(0));
    EXPECT_EQ(GnomeInputSources::activeGroup(sources, QStringLiteral("@a(ss) []")), std::optional<quint32>(0));
    EXPECT_EQ(GnomeInputSources::activeGroup(sources, QStringLiteral("[('ibus', 'anthy')]")), std::nullopt);
    EXPECT_EQ(GnomeInputSources::activeGroup(QStringLiteral("@a(ss) []"), QStringLiteral("[('xkb', 'us')]")),
              std::nullopt);
    EXPECT_EQ(GnomeInputSources::parsePairs(QStringLiteral("[('xkb', 'a)b')]")),
              (std::optional<QList<std::pair<QString, QString>>>({{QStringLiteral("xkb"), QStringLiteral("a)b")}})));
    EXPECT_EQ(GnomeInputSources::parsePairs(QStringLiteral("[('xkb')]")), std::nullopt);
    EXPECT_EQ(GnomeInputSources::parsePairs(QStringLiteral("nothing")), std::nullopt);
}

TEST(RemoteDesktopKeyboard, ShortcutLettersFollowTheLayoutInUse) {
    WaylandConnection noDisplay;
    RecordingKeyChannel channel;
    RemoteDesktopKeyboard keyboard(noDisplay, [&channel] { return &channel; });
    keyboard.setKeymap(XkbKeymapLookup::fromNames(QStringLiteral("us,fr")));
    std::optional<quint32> group = 1;
    keyboard.setActiveGroup([&group] { return group; });
    // With the French layout in use, the US A key would be Control+Q: the application quits.
    EXPECT_EQ(keyboard.keyCode(u'a'), std::optional<quint16>(V::q));
    group = 0;
    EXPECT_EQ(keyboard.keyCode(u'a'), std::optional<quint16>(V::a));
    group = 7;
    EXPECT_EQ(keyboard.keyCode(u'a'), std::optional<quint16>(V::a)) << "a group the keymap lacks is the first";
}
