#pragma once
// The HTTP(S) face of quillo-cloud: routes, request validation and the contract's statuses,
// over the store, the corrector and the fault injector.
#include "AttemptThrottle.h"
#include "Database.h"
#include "FaultInjector.h"
#include "ModelBackend.h"
#include "Outbox.h"
#include "ServerClock.h"
#include "ServerOptions.h"
#include "Store.h"
#include "TextCorrector.h"
#include "TrustedProxies.h"
#include "UpdateFeedPublisher.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace quillo::cloud {

class IndexedSuggestionIndex;
class OpenIdClient;
class GatedHttpServer;

class CloudServer {
public:
    explicit CloudServer(ServerOptions options);
    ~CloudServer();

    // Binds the socket and returns the port (useful with --port 0); -1 on failure.
    int bind();
    void run();   // serves until stop()
    void stop();  // from any thread, also before or while run() starts
    std::string baseUrl() const;

    Store &store() { return *store_; }

private:
    void routes();
    void handleCorrection(const httplib::Request &, httplib::Response &);
    void handleAccountGet(const httplib::Request &, httplib::Response &);
    void handleAuth(const httplib::Request &, httplib::Response &);
    void handleCheckout(const httplib::Request &, httplib::Response &);
    void handleTestControl(const httplib::Request &, httplib::Response &);
    void updateFeed(const httplib::Request &, httplib::Response &);
    void updatePackage(const httplib::Request &, httplib::Response &);
    void consentPage(const httplib::Request &, httplib::Response &);
    void consentDecision(const httplib::Request &, httplib::Response &);
    void providerCallback(const httplib::Request &, httplib::Response &);
    void checkoutPage(const httplib::Request &, httplib::Response &);
    void checkoutAction(const httplib::Request &, httplib::Response &);
    void confirmPage(const httplib::Request &, httplib::Response &);
    void confirmAction(const httplib::Request &, httplib::Response &);
    void resetPage(const httplib::Request &, httplib::Response &);
    void resetAction(const httplib::Request &, httplib::Response &);

    bool applyCommonFaults(const httplib::Request &, httplib::Response &);
    void mailConfirmation(const Account &);
    std::string checkoutToken(const std::string &orderId);
    std::string publicUrl(const std::string &host) const;
    // Where the app's browser goes for a sign-in round; nullopt while the provider is unreachable.
    std::optional<std::string> signInPage(const std::string &requestId);
    std::string providerRoundSecret(const std::string &requestId, const char *purpose);
    std::string redirectUri() const;
    // Where the request came from: the peer, or behind a trusted proxy the client it names.
    std::string clientAddress(const httplib::Request &req) const;
    int64_t attemptWait(const std::string &key);  // seconds before the key may try again
    void recordFailedAttempt(const std::string &key);
    bool acquireHashSlot();
    void releaseHashSlot();
    std::string hashPassword(const std::string &password);
    friend struct HashSlot;
    void janitor();
    void restrictFiles();

    ServerOptions options_;
    ServerClock clock_;
    std::unique_ptr<Database> db_;
    bool shared_ = false;  // other servers may share the database
    std::unique_ptr<Store> store_;
    std::shared_ptr<IndexedSuggestionIndex> suggestionIndex_;  // null with --suggestions hunspell
    std::unique_ptr<TextCorrector> corrector_;
    std::unique_ptr<ModelBackend> models_[2];  // per Speed; null: the built-in engine
    std::unique_ptr<Outbox> outbox_;
    std::unique_ptr<OpenIdClient> openId_;          // null without --oidc-issuer
    std::unique_ptr<UpdateFeedPublisher> updates_;  // null without --update-feed-version
    FaultInjector faults_;
    TrustedProxies proxies_;
    std::unique_ptr<GatedHttpServer> http_;
    int port_ = -1;

    // Kept in the database when several servers share it (PostgreSQL), else in memory.
    std::unique_ptr<AttemptThrottle> attempts_;  // failed passwords and codes
    std::unique_ptr<AttemptThrottle> mails_;     // mails sent to one address
    // Password hashing is bounded: a burst of sign-ins queues here, a flood is told to come back,
    // and the corrections keep their cores.
    std::counting_semaphore<64> hashSlots_{2};
    std::atomic<int> hashWaiting_{0};
    bool hashingHeld_ = false;  // both slots taken by the test controls; with testControlMutex_
    std::mutex testControlMutex_;
    std::string timingHash_;  // verified against when there is no password to check

    std::mutex janitorMutex_;
    std::condition_variable janitorWake_;
    bool stopping_ = false;
    std::thread janitorThread_;
    std::thread warmUpThread_;

    std::atomic<bool> stopRequested_{false}, runStarted_{false}, runEnded_{false};
};

}  // namespace quillo::cloud
