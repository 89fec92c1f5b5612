#include "Pages.h"

#include <cstdio>

namespace quillo::cloud::pages {

std::string escape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string layout(const std::string &title, const std::string &body)
{
    return "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           escape(title) +
           "</title><style>"
           "body{font-family:system-ui,sans-serif;max-width:32rem;margin:3rem auto;padding:0 1rem;color:#222}"
           "button{font-size:1rem;padding:.5rem 1rem;margin:.25rem .25rem .25rem 0}"
           "input{font-size:1rem;padding:.4rem;width:100%;box-sizing:border-box;margin:.25rem 0 1rem}"
           ".note{color:#666;font-size:.9rem}.status{font-weight:bold}</style></head><body><h1>" +
           escape(title) + "</h1>" + body + "</body></html>";
}

std::string message(const std::string &title, const std::string &text)
{
    return layout(title, "<p>" + escape(text) + "</p>");
}

std::string consent(const std::string &requestId, bool reauthentication)
{
    std::string intro = reauthentication
                            ? "Confirm with the Google account of your Quillo account before it is deleted."
                            : "Choose the Google account to sign in to Quillo with.";
    return layout(reauthentication ? "Verify with Google" : "Sign in with Google",
                  "<p>" + escape(intro) +
                      "</p>"
                      "<form method=\"post\" action=\"/oauth/google\">"
                      "<input type=\"hidden\" name=\"request\" value=\"" +
                      escape(requestId) +
                      "\">"
                      "<label>Google account e-mail<input type=\"email\" name=\"email\" required autofocus></label>"
                      "<button type=\"submit\" name=\"decision\" value=\"allow\">Continue</button>"
                      "<button type=\"submit\" name=\"decision\" value=\"deny\" formnovalidate>Cancel</button>"
                      "</form><p class=\"note\">This is the local stand-in for Google's consent page of a "
                      "self-hosted Quillo cloud.</p>");
}

std::string checkout(const std::string &orderId, const std::string &token, const std::string &packTitle,
                     int priceDollars, int credits, const std::string &status, double granted)
{
    auto button = [&](const char *action, const char *label) {
        return std::string("<button type=\"submit\" name=\"action\" value=\"") + action + "\">" + label + "</button>";
    };
    char grantedText[64];
    std::snprintf(grantedText, sizeof grantedText, "%g", granted);
    return layout("Quillo checkout",
                  "<p>" + escape(packTitle) + ": $" + std::to_string(priceDollars) + " for " + std::to_string(credits) +
                      " credits.</p>"
                      "<p>Order status: <span class=\"status\" id=\"status\">" +
                      escape(status) + "</span>; credits granted: " + grantedText +
                      "</p>"
                      "<form method=\"post\" action=\"/checkout/" +
                      escape(orderId) +
                      "\">"
                      "<input type=\"hidden\" name=\"token\" value=\"" +
                      escape(token) + "\">" + button("pay", "Pay") + button("pending", "Leave pending") +
                      button("fail", "Decline payment") + button("expire", "Let it expire") + "<br>" +
                      button("refund", "Refund") + button("partial_refund", "Refund half") +
                      button("dispute", "Dispute") + button("chargeback", "Chargeback") +
                      button("review", "Manual review") +
                      "</form><p class=\"note\">Local checkout of a self-hosted Quillo cloud: no money moves. "
                      "Return to Quillo after choosing.</p>");
}

std::string confirm(const std::string &token)
{
    return layout("Confirm your e-mail address",
                  "<form method=\"post\" action=\"/auth/confirm\"><input type=\"hidden\" name=\"token\" value=\"" +
                      escape(token) + "\"><button type=\"submit\">Confirm</button></form>");
}

std::string resetForm(const std::string &token, const std::string &error)
{
    return layout("Choose a new password",
                  (error.empty() ? std::string() : "<p class=\"status\">" + escape(error) + "</p>") +
                      "<form method=\"post\" action=\"/auth/reset\"><input type=\"hidden\" name=\"token\" value=\"" +
                      escape(token) +
                      "\"><label>New password (8 to 128 characters)"
                      "<input type=\"password\" name=\"password\" minlength=\"8\" maxlength=\"128\" required></label>"
                      "<button type=\"submit\">Save password</button></form>");
}

}  // namespace quillo::cloud::pages
