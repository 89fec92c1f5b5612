// The user's own model behind the OpenAI-compatible chat-completions API: a real HTTP server on
// loopback plays the model, with good, slow, malformed, truncated, chatty and hostile answers.
#include "CloudTestServer.h"
#include "HunspellSuggestionIndex.h"
#include "ModelBackend.h"
#include "SpellChecker.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

using namespace quillo::cloud;
using namespace cloudtest;
using json = nlohmann::json;

namespace {

// A chat-completions server on a free loopback port answering with `answer(request)`.
class FakeModel {
public:
    using Answer = std::function<void(const json&, httplib::Response&)>;
    explicit FakeModel(Answer answer) : answer_(std::move(answer)) {
        server_.Post("/v1/chat/completions", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(mutex_);
                lastAuthorization = req.get_header_value("Authorization");
                lastRequest = json::parse(req.body);
                ++requests;
            }
            answer_(lastRequest, res);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // The socket listens from bind_to_any_port on: early requests wait in its backlog.
    }
    ~FakeModel() {
        release();
        server_.stop();
        thread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/v1"; }
    // Holds a handler until the test ends: a model that never answers in time.
    void hang() {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return done_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        done_ = true;
        released_.notify_all();
    }

    std::string lastAuthorization;
    json lastRequest;
    int requests = 0;

private:
    Answer answer_;
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool done_ = false;
};

json completion(const std::string& content, const std::string& finish = "stop") {
    return {{"choices",
             {{{"index", 0}, {"message", {{"role", "assistant"}, {"content", content}}}, {"finish_reason", finish}}}}};
}

const TextCorrector& builtIn() {
    static TextCorrector corrector(std::make_shared<SpellChecker>(std::make_shared<HunspellSuggestionIndex>(
        "/usr/share/hunspell/en_US.aff", "/usr/share/hunspell/en_US.dic", 1)));
    return corrector;
}

ModelBackend backend(const FakeModel& model, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return ModelBackend({model.url(), "local-model", "secret-key", timeout}, builtIn());
}

const std::string kText = "I recieve teh letter yesterday.\n  See https://example.com/a_b and mail me@example.com.";

} // namespace

TEST(ModelBackend, AsksTheModelWithThePromptAndUsesAGoodAnswer) {
    const std::string fixed =
        "I received the letter yesterday.\n  See https://example.com/a_b and mail me@example.com.";
    FakeModel model([&](const json&, httplib::Response& res) {
        res.set_content(completion(fixed + "\n").dump(), "application/json");
    });
    auto result = backend(model).correct(kText, CorrectionStyle::contextual);
    EXPECT_EQ(result.outcome, ModelBackend::Outcome::model);
    EXPECT_EQ(result.text, fixed); // the added final newline is the text's own edge again
    EXPECT_EQ(model.lastAuthorization, "Bearer secret-key");
    EXPECT_EQ(model.lastRequest["model"], "local-model");
    EXPECT_EQ(model.lastRequest["messages"][1]["content"], kText);
    EXPECT_NE(model.lastRequest["messages"][0]["content"].get<std::string>().find("improve"), std::string::npos);
    backend(model).correct(kText, CorrectionStyle::proofread);
    EXPECT_NE(model.lastRequest["messages"][0]["content"].get<std::string>().find("Do not rephrase"),
              std::string::npos);
}

TEST(ModelBackend, ThePromptNamesTheLanguageOnlyWhenIdentificationIsSure) {
    FakeModel model([](const json& request, httplib::Response& res) {
        res.set_content(completion(request["messages"][1]["content"].get<std::string>()).dump(), "application/json");
    });
    auto system = [&] { return model.lastRequest["messages"][0]["content"].get<std::string>(); };
    backend(model).correct("Ich habe gestern einen Brief von meiner Schwester aus Hamburg bekommen.",
                           CorrectionStyle::proofread);
    EXPECT_NE(system().find("written in German; answer in German"), std::string::npos) << system();
    backend(model).correct("Je pense que nous devrions partir demain matin avant le lever du soleil.",
                           CorrectionStyle::contextual);
    EXPECT_NE(system().find("written in French"), std::string::npos) << system();
    backend(model).correct("I recieve the letter from my sister yesterday and was very happy about it.",
                           CorrectionStyle::proofread);
    EXPECT_NE(system().find("written in English"), std::string::npos) << system();
    backend(model).correct("ok", CorrectionStyle::proofread); // too short to place
    EXPECT_EQ(system().find("written in"), std::string::npos) << system();
}

TEST(ModelBackend, FallsBackToTheBuiltInEngineOnHttpErrorsMalformedAndTruncatedAnswers) {
    std::string expected = builtIn().correct(kText, CorrectionStyle::proofread);
    struct Case {
        const char* name;
        FakeModel::Answer answer;
        ModelBackend::Outcome outcome;
    };
    std::vector<Case> cases = {
        {"500", [](const json&, httplib::Response& res) { res.status = 500; }, ModelBackend::Outcome::fallbackHttp},
        {"not json",
         [](const json&, httplib::Response& res) { res.set_content("{\"choices\": [", "application/json"); },
         ModelBackend::Outcome::fallbackMalformed},
        {"no choices", [](const json&, httplib::Response& res) { res.set_content("{}", "application/json"); },
         ModelBackend::Outcome::fallbackMalformed},
        {"cut off",
         [](const json&, httplib::Response& res) {
             res.set_content(completion("I received the", "length").dump(), "application/json");
         },
         ModelBackend::Outcome::fallbackMalformed},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeModel model(c.answer);
        auto result = backend(model).correct(kText, CorrectionStyle::proofread);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.text, expected);
    }
}

TEST(ModelBackend, FallsBackWhenTheModelIsTooSlowOrUnreachable) {
    FakeModel* self = nullptr;
    FakeModel model([&](const json&, httplib::Response&) { self->hang(); });
    self = &model;
    auto result = backend(model, std::chrono::milliseconds(300)).correct(kText, CorrectionStyle::proofread);
    EXPECT_EQ(result.outcome, ModelBackend::Outcome::fallbackTimeout);
    EXPECT_EQ(result.text, builtIn().correct(kText, CorrectionStyle::proofread));
    model.release();
    ModelBackend nowhere({"http://127.0.0.1:1/v1", "m", "", std::chrono::seconds(2)}, builtIn());
    EXPECT_NE(nowhere.correct(kText, CorrectionStyle::proofread).outcome, ModelBackend::Outcome::model);
}

TEST(ModelBackend, GuardrailsRefuseChattyAndHostileAnswers) {
    for (
        const std::string answer : {
            "Sure! Here is the corrected text:\n\nI received the letter yesterday.\n  See https://example.com/a_b and "
            "mail me@example.com.",                                                         // commentary
            "I received the letter yesterday.\n  See the website and mail me@example.com.", // a URL dropped
            "I received the letter yesterday.\n  See https://evil.example/a_b and mail me@example.com.", // a URL changed
            "I received the letter yesterday.\n  See https://example.com/a_b and mail me@example.com. Visit "
            "https://evil.example now.",                                                             // text added
            "I received the letter yesterday. See https://example.com/a_b and mail me@example.com.", // a line break lost
            "I received the letter yesterday.\nSee https://example.com/a_b and mail me@example.com.", // indentation lost
            "```\nI received the letter yesterday.\n  See https://example.com/a_b and mail me@example.com.\n```", // fenced
        }) {
        SCOPED_TRACE(answer);
        FakeModel model([&](const json&, httplib::Response& res) {
            res.set_content(completion(answer).dump(), "application/json");
        });
        auto result = backend(model).correct(kText, CorrectionStyle::proofread);
        EXPECT_EQ(result.outcome, ModelBackend::Outcome::fallbackGuardrail);
        EXPECT_EQ(result.text, builtIn().correct(kText, CorrectionStyle::proofread));
    }
}

TEST(ModelBackend, ReadsItsKeyFromAFileOrTheEnvironment) {
    auto path = std::filesystem::temp_directory_path() / "quillo-model-key-test";
    std::ofstream(path) << "file-key\n";
    EXPECT_EQ(readModelKey(path.string(), ""), "file-key");
    setenv("QUILLO_TEST_MODEL_KEY", "env-key", 1);
    EXPECT_EQ(readModelKey("", "QUILLO_TEST_MODEL_KEY"), "env-key");
    EXPECT_EQ(readModelKey("", ""), "");
    EXPECT_THROW(readModelKey((path / "missing").string(), ""), std::runtime_error);
    std::filesystem::remove(path);
}

TEST(ModelBackend, TheServerAnswersWithTheModelOfTheSpeedAndChargesOnceEitherWay) {
    bool hostile = false;
    FakeModel model([&](const json& request, httplib::Response& res) {
        std::string text = request["messages"][1]["content"];
        res.set_content(completion(hostile ? text + " Visit https://evil.example now." : "Model: fixed.").dump(),
                        "application/json");
    });
    CloudTestServer server(
        {"--model", "fast", model.url(), "local-model", "--model-key-env", "fast", "QUILLO_NO_SUCH_KEY"});
    server.createAccount("writer@example.com", "long enough secret", 10);
    std::string token = server.signIn("writer@example.com", "long enough secret")["accessToken"];
    auto correct = [&](const std::string& text, const std::string& speed) {
        json body = correctionBody(text, speed);
        return server.postJson("/api/correct", body, correctionHeaders(token, body));
    };
    Reply fromModel = correct("teh letter is here.", "fast");
    ASSERT_EQ(fromModel.status, 200) << fromModel.text;
    EXPECT_EQ(fromModel.body["correction"], "Model: fixed.");
    EXPECT_TRUE(model.lastAuthorization.empty()); // no key configured in the environment
    hostile = true;
    Reply guarded = correct("teh letter is here.", "fast");
    EXPECT_EQ(guarded.body["correction"], "The letter is here."); // the built-in engine's
    EXPECT_EQ(guarded.body["billing"]["chargedCredits"], fromModel.body["billing"]["chargedCredits"]);
    int asked = model.requests;
    Reply otherSpeed = correct("teh letter is here.", "very_very_fast"); // no model for this speed
    EXPECT_EQ(otherSpeed.body["correction"], "The letter is here.");
    EXPECT_EQ(model.requests, asked);
}
