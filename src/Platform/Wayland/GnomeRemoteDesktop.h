#pragma once

#include "Platform/Wayland/MutterRemoteDesktopSession.h"
#include "Platform/Wayland/PortalRemoteDesktopSession.h"

#include <QObject>

namespace quillo {

class UserDefaults;

// Keys and clipboard on GNOME, through the remote-desktop service the running desktop offers.
//
// Keys go through the portal's RemoteDesktop where it offers a keyboard: it is the public
// interface, and it asks the user ("Allow remote interaction"), keeping the answer with a
// restore token where the portal can. Mutter's own interface types keys only where no portal
// offers that, since it is private to GNOME and asks no one. The clipboard goes through the
// portal's Clipboard interface where offered (the same consented session), else through
// Mutter's session, which older GNOME versions offer alone.
//
// Nothing starts before the user allowed it once (onboarding's Allow); after that, each start
// asks the desktop again with the kept token. A refusal, or a session the desktop ends, is
// said once and leaves the way to ask again.
class GnomeRemoteDesktop final : public QObject {
    Q_OBJECT
public:
    static inline const QString allowedKey = QStringLiteral("remoteDesktopAllowed");
    static inline const QString restoreTokenKey = QStringLiteral("remoteDesktopRestoreToken");

    enum class Route { none, portal, mutter };
    struct Offer {
        PortalRemoteDesktopSession::Offer portal;
        bool mutter = false;
    };
    struct Routes {
        Route keys = Route::none;
        Route clipboard = Route::none;
        bool operator==(const Routes&) const = default;
    };
    static Routes choose(const Offer& offer);
    static Offer probe();

    enum class Consent { notAsked, asking, allowed, refused, revoked };
    // What the user is told after a refusal, and after the desktop ended the session.
    static QString refusedSentence();
    static QString revokedSentence();

    // `routes`: as `choose` gives for the running desktop.
    GnomeRemoteDesktop(UserDefaults& defaults, Routes routes, QObject* parent = nullptr);

    const Routes& routes() const { return routes_; }
    Consent consent() const { return consent_; }
    // Starts the sessions with the user's earlier consent, if given; nothing otherwise.
    void resume();
    // Asks the desktop (the portal's dialog) or starts Mutter's session; the answer may come
    // later, as `changed`.
    void ask();

    bool keysReady() const;
    bool clipboardReady() const;
    RemoteKeyChannel* keyChannel();
    RemoteClipboardChannel& clipboardChannel();

signals:
    void changed();
    // A sentence for the user, once per event (a refusal, an ended session).
    void notice(const QString& sentence);

private:
    void portalStarted(const QString& restoreToken);
    // Refused by the user or the desktop; started by nothing until Allow.
    void declined();
    void sessionEnded();
    void setConsent(Consent consent);

    UserDefaults& defaults_;
    Routes routes_;
    Consent consent_ = Consent::notAsked;
    PortalRemoteDesktopSession portal_;
    MutterRemoteDesktopSession mutter_;
};

} // namespace quillo
