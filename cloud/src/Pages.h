#pragma once
// The few browser pages the server shows: the local Google consent page, the checkout page,
// and the e-mail confirmation and password-reset pages.
#include <string>

namespace quillo::cloud::pages {

std::string escape(const std::string &text);
std::string layout(const std::string &title, const std::string &body);
std::string message(const std::string &title, const std::string &text);
std::string consent(const std::string &requestId, bool reauthentication);
std::string checkout(const std::string &orderId, const std::string &token, const std::string &packTitle,
                     int priceDollars, int credits, const std::string &status, double granted);
std::string confirm(const std::string &token);
std::string resetForm(const std::string &token, const std::string &error);

}  // namespace quillo::cloud::pages
