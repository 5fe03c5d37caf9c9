#pragma once
// Reads the upload service's reply from the connection: the status line and
// headers, interim 1xx replies skipped, and for 2xx the body, framed by
// Content-Length, by chunks or by the close. Everything is bounded: the
// header block, the body, and the wait for each piece of data.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "upload/Connection.h"

namespace kadrix {

struct HttpReply {
    int status = 0;
    std::string statusLine;  // as received, without its line break
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // raw bytes; read only for 2xx

    // The first header of that name (letter case ignored), or nullptr.
    const std::string* Header(std::string_view name) const;
};

struct ReplyBounds {
    std::chrono::milliseconds stall;  // the longest wait for the next bytes
    std::size_t maxBody;
};

// Status line and headers of one reply, interim ones included, may take this
// much in all.
inline constexpr std::size_t kMaxReplyHeaderBytes = 64 * 1024;

// Throws Error: kConnectionClosedText when the service closes before the
// reply is complete, ReplyStalledText, ReplyTooLargeText, and the texts for
// malformed replies in UploadErrors.h. Socket errors pass through.
HttpReply ReadHttpReply(Connection& connection, const ReplyBounds& bounds);

}  // namespace kadrix
