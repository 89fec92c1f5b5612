#include "Platform/Wayland/GnomeRemoteDesktop.h"

#include "Platform/UserDefaults.h"
#include "Support/Logging.h"

namespace quillo {

GnomeRemoteDesktop::Routes GnomeRemoteDesktop::choose(const Offer& offer) {
    Routes routes;
    const bool portalKeys = offer.portal.remoteDesktop && offer.portal.keyboard;
    if (portalKeys) routes.keys = Route::portal;
    else if (offer.mutter) routes.keys = Route::mutter;
    // The portal's clipboard belongs to its remote-desktop session: only with its keys.
    if (portalKeys && offer.portal.clipboard) routes.clipboard = Route::portal;
    else if (offer.mutter) routes.clipboard = Route::mutter;
    return routes;
}

GnomeRemoteDesktop::Offer GnomeRemoteDesktop::probe() {
    return Offer{PortalRemoteDesktopSession::probe(), MutterRemoteDesktopSession::isOffered()};
}

QString GnomeRemoteDesktop::refusedSentence() {
    return QStringLiteral("Remote interaction was not allowed, so Quillo cannot select, copy and paste in other "
                          "applications. Press Allow to ask GNOME again.");
}

QString GnomeRemoteDesktop::revokedSentence() {
    return QStringLiteral("GNOME ended Quillo's remote interaction (it was stopped, or its permission withdrawn), so "
                          "the trigger does nothing for now. Press Allow in Quillo's settings to ask again.");
}

GnomeRemoteDesktop::GnomeRemoteDesktop(UserDefaults& defaults, Routes routes, QObject* parent)
    : QObject(parent), defaults_(defaults), routes_(routes) {
    connect(&portal_, &PortalRemoteDesktopSession::started, this, &GnomeRemoteDesktop::portalStarted);
    connect(&portal_, &PortalRemoteDesktopSession::refused, this, &GnomeRemoteDesktop::declined);
    connect(&portal_, &PortalRemoteDesktopSession::closed, this, &GnomeRemoteDesktop::sessionEnded);
    connect(&mutter_, &MutterRemoteDesktopSession::closed, this, &GnomeRemoteDesktop::sessionEnded);
}

void GnomeRemoteDesktop::resume() {
    if (defaults_.boolean(allowedKey).value_or(false)) ask();
}

void GnomeRemoteDesktop::ask() {
    if (consent_ == Consent::asking || (consent_ == Consent::allowed && keysReady() && clipboardReady())) return;
    switch (routes_.keys) {
    case Route::none: return;
    case Route::portal:
        // Allowed already, the clipboard alone missing: no second dialog.
        if (portal_.state() == PortalRemoteDesktopSession::State::running) {
            portalStarted(QString());
            return;
        }
        setConsent(Consent::asking);
        if (!portal_.start(defaults_.string(restoreTokenKey).value_or(QString()), routes_.clipboard == Route::portal))
            declined();
        return;
    case Route::mutter:
        if (!mutter_.start() || (routes_.clipboard == Route::mutter && !mutter_.enableClipboard())) {
            declined();
            return;
        }
        defaults_.setBoolean(allowedKey, true);
        setConsent(Consent::allowed);
        return;
    }
}

void GnomeRemoteDesktop::portalStarted(const QString& restoreToken) {
    if (routes_.clipboard == Route::mutter && !mutter_.enableClipboard())
        qCWarning(lcPermissions, "Mutter's remote desktop session refused the clipboard");
    // Kept, so that the next start needs no dialog where the portal can persist the answer.
    if (!restoreToken.isEmpty()) defaults_.setString(restoreTokenKey, restoreToken);
    defaults_.setBoolean(allowedKey, true);
    setConsent(Consent::allowed);
}

void GnomeRemoteDesktop::declined() {
    // Asked again only when the user presses Allow.
    defaults_.remove(restoreTokenKey);
    defaults_.setBoolean(allowedKey, false);
    setConsent(Consent::refused);
    emit notice(refusedSentence());
}

void GnomeRemoteDesktop::sessionEnded() {
    if (consent_ != Consent::allowed) return;
    portal_.close();
    defaults_.remove(restoreTokenKey);
    defaults_.setBoolean(allowedKey, false);
    setConsent(Consent::revoked);
    emit notice(revokedSentence());
}

void GnomeRemoteDesktop::setConsent(Consent consent) {
    if (consent_ == consent) return;
    consent_ = consent;
    emit changed();
}

bool GnomeRemoteDesktop::keysReady() const {
    switch (routes_.keys) {
    case Route::none: return false;
    case Route::portal: return portal_.canSendKeys();
    case Route::mutter: return mutter_.canSendKeys();
    }
    return false;
}

bool GnomeRemoteDesktop::clipboardReady() const {
    switch (routes_.clipboard) {
    case Route::none: return false;
    case Route::portal: return portal_.isClipboardEnabled();
    case Route::mutter: return mutter_.isClipboardEnabled();
    }
    return false;
}

RemoteKeyChannel* GnomeRemoteDesktop::keyChannel() {
    switch (routes_.keys) {
    case Route::none: return nullptr;
    case Route::portal: return &portal_;
    case Route::mutter: return &mutter_;
    }
    return nullptr;
}

RemoteClipboardChannel& GnomeRemoteDesktop::clipboardChannel() {
    if (routes_.clipboard == Route::portal) return portal_;
    return mutter_;
}

} // namespace quillo
