#include "Services/CloudHttpTransport.h"

namespace quillo {

std::optional<QByteArray> findHeader(const CloudHttpHeaders& headers, const QByteArray& name) {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    return std::nullopt;
}

std::optional<QByteArray> CloudHttpRequest::header(const QByteArray& name) const { return findHeader(headers, name); }

std::optional<QByteArray> CloudHttpResponse::header(const QByteArray& name) const { return findHeader(headers, name); }

} // namespace quillo
