// Loopback load client for quillo-cloud: signs in, then sends corrections (each with its own
// correction id) from several threads and prints requests/s and latency percentiles as JSON.
// usage: cloud_load_client --port P --ca FILE --email E --password P [--threads N]
//        [--requests N] [--chars N] [--model fast|very_very_fast] [--style proofread|contextual]
#include "Crypto.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
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

int main(int argc, char **argv)
{
    std::string host = "127.0.0.1", ca, email, password, model = "fast", style = "proofread";
    int port = 8443, threads = 4, requests = 200;
    size_t chars = 1024;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i], v = argv[i + 1];
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
    }
    auto makeClient = [&] {
        auto c = std::make_unique<httplib::SSLClient>(host, port);
        c->set_ca_cert_path(ca.c_str());
        c->enable_server_certificate_verification(true);
        c->set_keep_alive(true);
        c->set_tcp_nodelay(true);
        c->set_read_timeout(60, 0);
        return c;
    };
    auto signIn = makeClient()->Post("/api/auth",
                                     json{{"action", "sign_in"}, {"email", email}, {"password", password},
                                          {"installationId", "6f9619ff-8b86-4d01-b42d-00c04fc964ff"}}
                                         .dump(),
                                     "application/json");
    if (!signIn || signIn->status != 200) {
        std::cerr << "sign-in failed\n";
        return 1;
    }
    std::string token = json::parse(signIn->body)["accessToken"];
    std::string text = sampleText(chars);

    std::atomic<int> next{0}, failures{0};
    std::vector<std::vector<double>> latencies(static_cast<size_t>(threads));
    auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            auto client = makeClient();
            while (next++ < requests) {
                std::string id = quillo::cloud::crypto::randomUuid();
                json body = {{"text", text}, {"mode", "cloud_fast"}, {"cloudModel", model}, {"correctionStyle", style},
                             {"correctionId", id}, {"recoveryKey", quillo::cloud::crypto::randomToken(32)}};
                httplib::Headers headers = {{"Authorization", "Bearer " + token}, {"X-Quillo-Request-ID", id},
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
    std::vector<double> all;
    for (auto &l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    auto pct = [&](double p) { return all.empty() ? 0.0 : all[std::min(all.size() - 1, static_cast<size_t>(p * all.size()))]; };
    json out = {{"chars", chars},           {"model", model},           {"style", style},
                {"threads", threads},       {"ok", all.size()},         {"failed", failures.load()},
                {"perSecond", all.size() / seconds}, {"medianMs", pct(0.5)}, {"p99Ms", pct(0.99)}};
    std::cout << out.dump() << std::endl;
    return failures.load() ? 1 : 0;
}
