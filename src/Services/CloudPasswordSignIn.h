#pragma once

#include "Services/CloudHttpTransport.h"
#include "Support/QuilloAuthSession.h"

#include <QString>
#include <QUrl>
#include <exception>
#include <optional>
#include <string>

namespace quillo {

// The account endpoint refused a sign-in: its status (-1 when not HTTP) and "error" code.
class CloudSignInError : public std::exception {
public:
    CloudSignInError(int status, std::optional<QString> code)
        : status(status), code(std::move(code)), text_("sign-in refused: HTTP " + std::to_string(status) +
                                                       (this->code ? " " + this->code->toStdString() : "")) {}
    const char* what() const noexcept override { return text_.c_str(); }

    int status;
    std::optional<QString> code;

private:
    std::string text_;
};

// A bare e-mail and password sign-in ("sign_in" on the account endpoint), for command-line
// tools and tests that need a session before the full account service exists.
namespace CloudPasswordSignIn {

// The session of a 200 answer. Throws CloudSignInError, NetworkError or CancellationError;
// CloudResponseDecodingError when a 200 answer lacks the session members.
QCoro::Task<QuilloAuthSession> signIn(CloudHttpTransport& transport, QUrl authURL, QString email, QString password,
                                      QString installationId, CancellationToken token = {});

// The session in a 200 body, given the time now (seconds since 1970) for an "expiresIn".
std::optional<QuilloAuthSession> sessionFromResponse(const QByteArray& body, double nowSince1970);

} // namespace CloudPasswordSignIn

} // namespace quillo
