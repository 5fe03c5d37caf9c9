#include "upload/UploadExchange.h"

#include <algorithm>

#include "core/Error.h"
#include "core/Utf.h"
#include "upload/Charset.h"
#include "upload/HttpReply.h"
#include "upload/ReplyText.h"
#include "upload/UploadErrors.h"

namespace kadrix {

namespace {

std::u16string HostAndPortText(const UploadTarget& target) {
    std::string text = HostHeaderValue(target);
    if (target.port == 80) text += ":80";  // the user should see which port was tried
    return AsciiToUtf16(text);
}

std::u16string Exchange(const UploadTarget& target, std::string_view jpeg, const LocalTime& now,
                        Connector& connector, const UploadLimits& limits) {
    const std::string request = BuildUploadRequest(target, jpeg, MakeBoundary(now));
    const auto connection = connector.Connect(target.host, target.port, limits.connectTimeout);
    if (!connection) throw Error(ConnectTimeoutText(HostAndPortText(target), limits.connectTimeout));
    if (!connection->Send(request, limits.stallTimeout)) throw Error(SendStalledText(limits.stallTimeout));

    const HttpReply reply = ReadHttpReply(*connection, {limits.stallTimeout, limits.maxReplyBody});
    // Redirects are not followed: any status outside 2xx fails with its line.
    if (reply.status < 200 || reply.status > 299) throw Error(Latin1ToUtf16(reply.statusLine));
    const std::string* contentType = reply.Header("Content-Type");
    return DecodeReplyBody(contentType ? *contentType : std::string_view(), reply.body);
}

}  // namespace

UploadOutcome ClassifyReplyText(std::u16string text) {
    if (text.empty()) return {UploadOutcome::Kind::Failure, std::u16string(kEmptyReplyText)};
    if (text.starts_with(kRefusalMarker)) {
        return {UploadOutcome::Kind::Refusal, text.substr(std::min<std::size_t>(8, text.size()))};
    }
    return {UploadOutcome::Kind::Address, std::move(text)};
}

UploadOutcome UploadJpeg(const UploadTarget& target, std::string_view jpeg, const LocalTime& now,
                         Connector& connector, const UploadLimits& limits) {
    try {
        return ClassifyReplyText(Exchange(target, jpeg, now, connector, limits));
    } catch (const Error& e) {
        return {UploadOutcome::Kind::Failure, e.Message()};
    }
}

}  // namespace kadrix
