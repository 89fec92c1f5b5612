// Loopback load client for quillo-cloud: signs in, then sends corrections (each with its own
// correction id) from several threads and prints requests/s and latency percentiles as JSON.
// usage: cloud_load_client --port P --ca FILE --email E --password P [--threads N]
//        [--requests N] [--chars N] [--model fast|very_very_fast] [--style proofread|contextual]
//        [--typo-rate R] [--seed S] [--http]
// --http speaks plain HTTP, as a server behind a reverse proxy does; otherwise HTTPS. The
// client's own CPU time for the requests is reported beside the figures, to tell the load
// generator's share of a shared machine.
// With --typo-rate every request carries its own text: common English words (SCOWL sizes 10
// and 20) with that share of them misspelt by one random slip, so that the server's answers
// are not served from its per-word cache. Without it, one fixed sample text repeats.
#include "Crypto.h"
#include "HunspellSuggestionIndex.h"
#include "TypoCorpus.h"
#include "WordCommonness.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using json = nlohmann::json;

static std::string sampleText(size_t chars)
{
    static const char *sentences[] = {
        "i recieve teh letter yesterday and definately agree with it. ",
        "The commitee will discus the proposal at there next meeting . ",
        "we could of finished earlier if the wether had been better. ",
        "Please send me the documents  before friday so i can review them. ",
        "It is neccessary to seperate the two issues in order to make progress. ",
        "The quick brown fox jumps over the lazy dog near the river bank. ",
    };
    std::string out;
    for (size_t i = 0; out.size() < chars; ++i) out += sentences[i % 6];
    out.resize(chars);
    return out;
}

// Texts of about `chars` characters: sentences of common words, `rate` of them misspelt.
static std::vector<std::string> typoTexts(size_t count, size_t chars, double rate, uint64_t seed)
{
    std::vector<std::string> vocabulary;
    for (const char *size : {"10", "20"}) {
        std::ifstream in(std::string(quillo::cloud::WordCommonness::kDefaultDirectory) + "/english-words." + size);
        for (std::string w; std::getline(in, w);)
            if (w.size() >= 2 && std::all_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
                vocabulary.push_back(w);
    }
    if (vocabulary.empty()) return {};
    quillo::cloud::HunspellSuggestionIndex hunspell("/usr/share/hunspell/en_US.aff", "/usr/share/hunspell/en_US.dic",
                                                    1);
    auto known = [&](const std::string &w) { return hunspell.isKnown(w); };
    std::vector<std::string> longer;
    for (auto &w : vocabulary)
        if (w.size() >= 4) longer.push_back(w);
    // Enough typos for every text, drawn once from the same generator the accuracy bench uses.
    size_t wordsPerText = chars / 6 + 1;
    auto typos = quillo::cloud::bench::makeTypoCorpus(
        longer, static_cast<size_t>(static_cast<double>(count * wordsPerText) * rate) + 16, seed, known);
    std::mt19937_64 rng(seed ^ 0x5eed);
    std::vector<std::string> texts;
    size_t nextTypo = 0;
    for (size_t t = 0; t < count; ++t) {
        std::string text;
        size_t inSentence = 0;
        while (text.size() < chars) {
            bool misspell = static_cast<double>(rng() % 1000000) < rate * 1e6;
            std::string w = misspell ? typos[nextTypo++ % typos.size()].typo : vocabulary[rng() % vocabulary.size()];
            if (inSentence == 0 && w[0] >= 'a' && w[0] <= 'z') w[0] = static_cast<char>(w[0] - 'a' + 'A');
            text += w;
            if (++inSentence >= 8 + rng() % 8) {
                text += ". ";
                inSentence = 0;
            } else {
                text += ' ';
            }
        }
        text.resize(chars);
        texts.push_back(text);
    }
    return texts;
}

int main(int argc, char **argv)  // NOLINT(bugprone-exception-escape): a failed bench run ends on its exception
{
    std::string host = "127.0.0.1", ca, email, password, model = "fast", style = "proofread";
    int port = 8443, threads = 4, requests = 200;
    size_t chars = 1024;
    double typoRate = -1;
    bool plain = false;
    uint64_t seed = 20261207;
    for (int i = 1; i < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--http") {
            plain = true;
            --i;
            continue;
        }
        if (i + 1 >= argc) break;
        std::string v = argv[i + 1];
        if (a == "--port") port = std::stoi(v);
        else if (a == "--host") host = v;
        else if (a == "--ca") ca = v;
        else if (a == "--email") email = v;
        else if (a == "--password") password = v;
        else if (a == "--threads") threads = std::stoi(v);
        else if (a == "--requests") requests = std::stoi(v);
        else if (a == "--chars") chars = std::stoul(v);
        else if (a == "--model") model = v;
        else if (a == "--style") style = v;
        else if (a == "--typo-rate") typoRate = std::stod(v);
        else if (a == "--seed") seed = std::stoull(v);
    }
    auto makeClient = [&]() -> std::unique_ptr<httplib::ClientImpl> {
        std::unique_ptr<httplib::ClientImpl> c;
        if (plain) {
            c = std::make_unique<httplib::ClientImpl>(host, port);
        } else {
            auto tls = std::make_unique<httplib::SSLClient>(host, port);
            tls->set_ca_cert_path(ca);
            tls->enable_server_certificate_verification(true);
            c = std::move(tls);
        }
        c->set_keep_alive(true);
        c->set_tcp_nodelay(true);
        c->set_read_timeout(60, 0);
        return c;
    };
    auto signIn = makeClient()->Post("/api/auth",
                                     json{{"action", "sign_in"},
                                          {"email", email},
                                          {"password", password},
                                          {"installationId", "6f9619ff-8b86-4d01-b42d-00c04fc964ff"}}
                                         .dump(),
                                     "application/json");
    if (!signIn || signIn->status != 200) {
        std::cerr << "sign-in failed\n";
        return 1;
    }
    std::string token = json::parse(signIn->body)["accessToken"];
    std::vector<std::string> texts;
    if (typoRate >= 0) texts = typoTexts(static_cast<size_t>(requests), chars, typoRate, seed);
    if (texts.empty()) texts.push_back(sampleText(chars));

    std::atomic<int> next{0}, failures{0};
    std::vector<std::vector<double>> latencies(static_cast<size_t>(threads));
    auto cpuMs = [] {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return (static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3) +
               (static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3);
    };
    double cpuBefore = cpuMs();
    auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            auto client = makeClient();
            for (int n; (n = next++) < requests;) {
                const std::string &text = texts[static_cast<size_t>(n) % texts.size()];
                std::string id = quillo::cloud::crypto::randomUuid();
                json body = {{"text", text},        {"mode", "cloud_fast"},
                             {"cloudModel", model}, {"correctionStyle", style},
                             {"correctionId", id},  {"recoveryKey", quillo::cloud::crypto::randomToken(32)}};
                httplib::Headers headers = {{"Authorization", "Bearer " + token},
                                            {"X-Quillo-Request-ID", id},
                                            {"X-Quillo-Version", "bench (1)"}};
                auto t0 = std::chrono::steady_clock::now();
                auto r = client->Post("/api/correct", headers, body.dump(), "application/json");
                auto t1 = std::chrono::steady_clock::now();
                if (!r || r->status != 200) {
                    ++failures;
                    continue;
                }
                latencies[static_cast<size_t>(t)].push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
        });
    }
    for (auto &w : workers) w.join();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double clientCpu = cpuMs() - cpuBefore;
    std::vector<double> all;
    for (auto &l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    auto pct = [&](double p) {
        return all.empty() ? 0.0
                           : all[std::min(all.size() - 1, static_cast<size_t>(p * static_cast<double>(all.size())))];
    };
    json out = {{"chars", chars},
                {"model", model},
                {"style", style},
                {"typoRate", typoRate < 0 ? json(nullptr) : json(typoRate)},
                {"distinctTexts", texts.size()},
                {"threads", threads},
                {"ok", all.size()},
                {"failed", failures.load()},
                {"perSecond", static_cast<double>(all.size()) / seconds},
                {"medianMs", pct(0.5)},
                {"p99Ms", pct(0.99)},
                {"transport", plain ? "http" : "https"},
                {"clientCpuMsPerRequest", all.empty() ? 0.0 : clientCpu / static_cast<double>(all.size())}};
    std::cout << out.dump() << std::endl;
    return failures.load() ? 1 : 0;
}
