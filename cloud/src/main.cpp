// quillo-cloud: the self-hostable reference backend of Quillo.
#include "CloudServer.h"
#include "Crypto.h"
#include "Log.h"
#include "OpenDatabase.h"
#include "ServerOptions.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quillo::cloud;

namespace {

// An installed server keeps its scripts beside it in lib/quillo-cloud; a build tree's uses the
// source tree's.
std::string installedScript(const char *name, const std::string &buildTreePath)
{
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto installed = self.parent_path().parent_path() / "lib" / "quillo-cloud" / name;
        if (std::filesystem::exists(installed, ec)) return installed.string();
    }
    return buildTreePath;
}

std::string localAuthorityScript() { return installedScript("make-local-ca", QUILLO_CLOUD_MAKE_CA_SCRIPT); }
std::string updateKeyScript() { return installedScript("make-update-key", QUILLO_CLOUD_MAKE_UPDATE_KEY_SCRIPT); }

// A default folder given as "~/..." is in the home of whoever runs the server.
std::string expandHome(const std::string &path)
{
    const char *home = std::getenv("HOME");
    if (path.rfind("~/", 0) == 0 && home && *home) return std::string(home) + path.substr(1);
    return path;
}

// Runs one of the scripts that make local key material in `dir` (they keep what exists).
bool runFolderScript(std::string script, const std::string &dir)
{
    if (!std::filesystem::exists(script)) return false;
    std::vector<char *> argv = {const_cast<char *>("bash"), script.data(), const_cast<char *>(dir.c_str()), nullptr};
    // Standard output carries only the "listening on" line that starters read; the script's own
    // output goes to the log instead.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "bash", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

log::Level levelFrom(const std::string &name)
{
    if (name == "debug") return log::Level::debug;
    if (name == "warn") return log::Level::warn;
    if (name == "error") return log::Level::error;
    if (name == "off") return log::Level::off;
    return log::Level::info;
}

}  // namespace

int main(int argc, char **argv)
{
    ServerOptions options;
    bool exitNow = false;
    std::string error = parseOptions(argc, argv, options, exitNow);
    if (exitNow) {
        std::cout << (options.printVersion ? "quillo-cloud " QUILLO_CLOUD_VERSION "\n" : usage());
        return 0;
    }
    if (!error.empty()) {
        std::cerr << "quillo-cloud: " << error << "\n" << usage();
        return 2;
    }
    log::setLevel(levelFrom(options.logLevel));
    std::signal(SIGPIPE, SIG_IGN);

    // SIGINT and SIGTERM are taken by one waiting thread, which stops the server cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (!options.plainHttp && options.certFile.empty() && options.enrollTotpEmail.empty()) {
        std::string dir = options.caDir.empty() ? expandHome(QUILLO_CLOUD_DEFAULT_CA_DIR) : options.caDir;
        options.certFile = dir + "/server.pem";
        options.keyFile = dir + "/server.key";
        if (!std::filesystem::exists(options.certFile) || !std::filesystem::exists(options.keyFile)) {
            log::info("local_ca_create", {{"dir", dir}, {"script", localAuthorityScript()}});
            if (!runFolderScript(localAuthorityScript(), dir)) {
                log::error("local_ca_failed", {{"dir", dir}});
                return 1;
            }
        }
    }

    if (!options.updateFeedVersion.empty() && options.updateKey.empty()) {
        std::string dir = options.caDir.empty() ? expandHome(QUILLO_CLOUD_DEFAULT_CA_DIR) : options.caDir;
        options.updateKey = dir + "/update-ed25519.key";
        if (!std::filesystem::exists(options.updateKey)) {
            log::info("update_key_create", {{"dir", dir}, {"script", updateKeyScript()}});
            if (!runFolderScript(updateKeyScript(), dir)) {
                log::error("update_key_failed", {{"dir", dir}});
                return 1;
            }
        }
    }

    try {
        if (!options.enrollTotpEmail.empty()) {
            ServerClock clock;
            auto db = openDatabase(options);
            Store store(*db, clock);
            store.migrate();
            auto account = store.accountByEmail(options.enrollTotpEmail);
            if (!account) {
                std::cerr << "quillo-cloud: no such account\n";
                return 1;
            }
            std::string secret = crypto::base32Encode(crypto::randomBytes(20));
            store.setTotpSecret(account->id, secret);
            std::cout << "otpauth://totp/Quillo?secret=" << secret << "&issuer=Quillo\n";
            return 0;
        }

        CloudServer server(options);
        int port = server.bind();
        if (port <= 0) {
            log::error("bind_failed", {{"host", options.host}, {"port", options.port}});
            return 1;
        }
        if (!options.portFile.empty()) {
            std::string temp = options.portFile + ".tmp";
            std::ofstream(temp) << port << "\n";
            std::filesystem::rename(temp, options.portFile);
        }
        std::thread signals([&] {
            int sig = 0;
            sigwait(&stopSignals, &sig);
            log::info("stopping", {{"signal", sig}});
            server.stop();
        });
        log::info("listening", {{"port", port}, {"tls", !options.plainHttp}, {"testControls", options.testControls}});
        std::printf("listening on %s\n", server.baseUrl().c_str());
        std::fflush(stdout);
        server.run();
        // run() returns as soon as stop() begins; the thread that called it (or that still waits
        // for a signal, should the server have ended by itself) must be done before the server
        // is destroyed. SIGTERM stays blocked, so a thread past its wait only discards it.
        // NOLINTNEXTLINE(bugprone-bad-signal-to-kill-thread): only wakes the thread waiting in sigwait
        pthread_kill(signals.native_handle(), SIGTERM);
        signals.join();
        log::info("stopped");
    } catch (const std::exception &e) {
        log::error("startup_failed", {{"reason", e.what()}});
        return 1;
    }
    // A suggestion index may still be building in the background, and its expansion cannot be
    // interrupted; leaving through the static destructors would free what it reads. The server
    // has closed its database by now, the log is unbuffered and caches are written to a temporary
    // and renamed, so nothing is lost by ending here.
    std::fflush(nullptr);
    std::_Exit(0);
}
