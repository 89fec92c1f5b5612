#pragma once

#include "Models/NetworkErrorCode.h"
#include "Support/Cancellation.h"

#include <QByteArray>
#include <QUrl>
#include <optional>
#include <utility>
#include <vector>

#include <qcoro/qcorotask.h>

namespace quillo {

using CloudHttpHeaders = std::vector<std::pair<QByteArray, QByteArray>>;

// One HTTP exchange as the cloud client forms it: headers go out in this order.
struct CloudHttpRequest {
    QByteArray method = "GET";
    QUrl url;
    CloudHttpHeaders headers;
    QByteArray body;
    double timeoutSeconds = 60.0;
    // Neither a local nor a remote cache may answer (the health check).
    bool ignoreCache = false;

    std::optional<QByteArray> header(const QByteArray& name) const;
};

// What came back. `status` is the HTTP status, or -1 for an answer that was not HTTP.
struct CloudHttpResponse {
    int status = -1;
    CloudHttpHeaders headers;
    QByteArray body;

    bool isHTTP() const { return status >= 0; }
    // The first header of that name, compared without regard to case.
    std::optional<QByteArray> header(const QByteArray& name) const;
};

// The HTTP layer under every cloud request. send() answers every HTTP status as a response;
// it throws NetworkError when no answer arrived (the code says why) and CancellationError when
// `token` was cancelled first.
class CloudHttpTransport {
public:
    virtual ~CloudHttpTransport() = default;
    virtual QCoro::Task<CloudHttpResponse> send(CloudHttpRequest request, CancellationToken token) = 0;
};

std::optional<QByteArray> findHeader(const CloudHttpHeaders& headers, const QByteArray& name);

} // namespace quillo
