#pragma once
// Every error text of the upload exchange, in one place. They are shown to
// the user after the language file's ErrorUpload line.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace kadrix {

inline constexpr std::u16string_view kConnectionClosedText = u"Connection Closed Gracefully.";
inline constexpr std::u16string_view kEmptyReplyText = u"The upload service sent an empty reply.";
inline constexpr std::u16string_view kNotHttpText =
    u"The upload service's reply does not begin with an HTTP status line.";
inline constexpr std::u16string_view kBadHeaderText = u"The upload service sent a malformed header line.";
inline constexpr std::u16string_view kBadLengthText = u"The upload service sent an invalid Content-Length.";
inline constexpr std::u16string_view kBadChunkText = u"The upload service sent a malformed chunked reply.";

// "Socket Error # %d\r\n%s": the system's error number and its description.
std::u16string SocketErrorText(int code, std::u16string_view description);

std::u16string ConnectTimeoutText(std::u16string_view hostAndPort, std::chrono::milliseconds timeout);
std::u16string ReplyStalledText(std::chrono::milliseconds timeout);
std::u16string SendStalledText(std::chrono::milliseconds timeout);
std::u16string ReplyTooLargeText(std::size_t cap);
std::u16string HeadersTooLongText(std::size_t cap);
std::u16string InvalidHostText(std::u16string_view value);

}  // namespace kadrix
