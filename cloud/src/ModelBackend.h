#pragma once
// Corrections from the user's own language model through the OpenAI-compatible chat-completions
// API (llama.cpp's server, Ollama, vLLM, hosted services), with guardrails: the answer must keep
// every protected span (URLs, e-mail addresses, code, paths, markup), every line break and every
// line's indentation byte for byte, stay within length bounds and carry no commentary. An answer
// that breaks a rule, an HTTP error or a time-out gives the built-in engine's correction instead.
// No text is ever logged.
#include "TextCorrector.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace quillo::cloud {

struct ModelEndpoint {
    std::string baseUrl;  // "http://127.0.0.1:8080/v1": the request goes to baseUrl + "/chat/completions"
    std::string model;
    std::string apiKey;  // empty: no Authorization header
    std::chrono::milliseconds timeout{20000};
};

// The key from a file (its first line) or an environment variable; never from the command line.
std::string readModelKey(const std::string &keyFile, const std::string &keyEnvironment);

class ModelBackend {
public:
    enum class Outcome { model, fallbackHttp, fallbackTimeout, fallbackMalformed, fallbackGuardrail };
    struct Result {
        std::string text;
        Outcome outcome;
    };

    ModelBackend(ModelEndpoint endpoint, const TextCorrector &fallback);
    Result correct(const std::string &text, CorrectionStyle style) const;

    // Why an answer is unacceptable for `original`, or nullopt when it is fine.
    static std::optional<std::string> guardrailViolation(const std::string &original, const std::string &answer);
    // `language` names the text's language when identification is sure of it ("German").
    static std::string prompt(CorrectionStyle style, const std::string &language = {});

private:
    ModelEndpoint endpoint_;
    const TextCorrector &fallback_;
};

}  // namespace quillo::cloud
