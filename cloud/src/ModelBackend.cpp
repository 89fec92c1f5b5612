#include "ModelBackend.h"

#include "LanguageIdentification.h"
#include "TextTokens.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace quillo::cloud {

namespace {

// The spans the model must return as they came: shielded tokens (URLs, addresses, code,
// paths, markup).
std::vector<std::string> protectedSpans(const std::string &text)
{
    std::vector<std::string> spans;
    for (const Token &t : tokenize(text))
        if (t.kind == Kind::shielded) spans.push_back(t.text);
    return spans;
}

// Each line's leading white space, and the line breaks between them.
std::vector<std::string> lineShape(const std::string &text)
{
    std::vector<std::string> shape;
    size_t start = 0;
    while (true) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        shape.push_back(line.substr(0, line.find_first_not_of(" \t")));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return shape;
}

// The language named in the prompt: only one identification is sure of; a model told the wrong
// language would translate.
std::string promptLanguage(const std::string &text)
{
    LanguageGuess guess = identifyLanguage(text);
    return guess.reliable ? guess.name : std::string();
}

}  // namespace

std::string readModelKey(const std::string &keyFile, const std::string &keyEnvironment)
{
    if (!keyFile.empty()) {
        std::ifstream in(keyFile);
        if (!in) throw std::runtime_error("the model key file cannot be read");
        std::string key;
        std::getline(in, key);
        while (!key.empty() && (key.back() == '\r' || key.back() == ' ')) key.pop_back();
        return key;
    }
    if (!keyEnvironment.empty()) {
        const char *value = std::getenv(keyEnvironment.c_str());
        return value ? value : "";
    }
    return {};
}

ModelBackend::ModelBackend(ModelEndpoint endpoint, const TextCorrector &fallback)
    : endpoint_(std::move(endpoint)), fallback_(fallback)
{
}

std::string ModelBackend::prompt(CorrectionStyle style, const std::string &language)
{
    std::string common =
        "You correct the user's text. Answer with the corrected text only: no introduction, no explanation, no "
        "quotes, no code fences. Keep the text's language; never translate. Keep every line break and every line's "
        "indentation. Keep URLs, e-mail addresses, file paths, code and markup exactly as they are. Keep names, "
        "product names and technical terms as written. If nothing needs correcting, answer with the text unchanged.";
    if (!language.empty())
        common += " The text is written in " + language + "; answer in " + language +
                  ", keeping any passage in another language as it is.";
    if (style == CorrectionStyle::contextual)
        return common + " Fix every spelling, grammar and punctuation error, and improve awkward phrasing using the "
                        "context, without changing the meaning or the tone.";
    return common + " Fix only objective spelling, grammar and punctuation mistakes. Do not rephrase.";
}

std::optional<std::string> ModelBackend::guardrailViolation(const std::string &original, const std::string &answer)
{
    if (answer.empty() != original.empty()) return "empty";
    if (utf16Length(answer) < 0) return "not UTF-8";
    // Corrections change little: a much longer answer carries commentary, a much shorter one lost text.
    double a = static_cast<double>(answer.size()), o = static_cast<double>(original.size());
    if (a > o * 1.3 + 20 || a < o * 0.7 - 20) return "length";
    if (lineShape(answer) != lineShape(original)) return "line breaks or indentation";
    auto kept = protectedSpans(original);
    size_t from = 0;
    for (const auto &span : kept) {
        size_t at = answer.find(span, from);
        if (at == std::string::npos) return "a protected span";
        from = at + span.size();
    }
    // A span the original did not have (an added link or address) is as bad as a lost one.
    if (protectedSpans(answer).size() != kept.size()) return "an added span";
    if (answer.find("```") != std::string::npos && original.find("```") == std::string::npos) return "a code fence";
    return std::nullopt;
}

ModelBackend::Result ModelBackend::correct(const std::string &text, CorrectionStyle style) const
{
    auto fallback = [&](Outcome why) { return Result{fallback_.correct(text, style), why}; };
    std::string base = endpoint_.baseUrl;
    while (!base.empty() && base.back() == '/') base.pop_back();
    auto schemeEnd = base.find("://");
    auto pathStart = base.find('/', schemeEnd == std::string::npos ? 0 : schemeEnd + 3);
    std::string origin = base.substr(0, pathStart), path = pathStart == std::string::npos ? "" : base.substr(pathStart);
    httplib::Client client(origin);
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(endpoint_.timeout);
    auto micros = std::chrono::duration_cast<std::chrono::microseconds>(endpoint_.timeout - seconds);
    client.set_connection_timeout(seconds.count(), micros.count());
    client.set_read_timeout(seconds.count(), micros.count());
    client.set_write_timeout(seconds.count(), micros.count());
    httplib::Headers headers;
    if (!endpoint_.apiKey.empty()) headers.emplace("Authorization", "Bearer " + endpoint_.apiKey);
    nlohmann::json request = {{"model", endpoint_.model},
                              {"temperature", 0},
                              {"stream", false},
                              {"messages",
                               {{{"role", "system"}, {"content", prompt(style, promptLanguage(text))}},
                                {{"role", "user"}, {"content", text}}}}};
    auto response = client.Post(path + "/chat/completions", headers, request.dump(), "application/json");
    if (!response) {
        return fallback(response.error() == httplib::Error::Read || response.error() == httplib::Error::Write ||
                                response.error() == httplib::Error::ConnectionTimeout
                            ? Outcome::fallbackTimeout
                            : Outcome::fallbackHttp);
    }
    if (response->status != 200) return fallback(Outcome::fallbackHttp);
    std::string answer;
    try {
        auto body = nlohmann::json::parse(response->body);
        const auto &choice = body.at("choices").at(0);
        if (choice.contains("finish_reason") && choice["finish_reason"].is_string() &&
            choice["finish_reason"] != "stop")
            return fallback(Outcome::fallbackMalformed);  // cut off by a token limit
        answer = choice.at("message").at("content").get<std::string>();
    } catch (const std::exception &) {
        return fallback(Outcome::fallbackMalformed);
    }
    // The edges are the text's own (the client keeps them too); models add or drop a final newline.
    auto first = text.find_first_not_of(" \t\r\n"), last = text.find_last_not_of(" \t\r\n");
    auto aFirst = answer.find_first_not_of(" \t\r\n"), aLast = answer.find_last_not_of(" \t\r\n");
    if (first != std::string::npos && aFirst != std::string::npos)
        answer = text.substr(0, first) + answer.substr(aFirst, aLast - aFirst + 1) + text.substr(last + 1);
    if (guardrailViolation(text, answer)) return fallback(Outcome::fallbackGuardrail);
    return {answer, Outcome::model};
}

}  // namespace quillo::cloud
