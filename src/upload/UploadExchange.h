#pragma once
// One upload from start to end: the request sent over a new connection, the
// reply read and decoded, and its text told apart as an address or a refusal.
// Everything the worker shows comes back as an UploadOutcome.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "upload/Connection.h"
#include "upload/UploadRequest.h"

namespace kadrix {

struct UploadOutcome {
    enum class Kind {
        Address,  // text: the screenshot's address, for LastURLAdress and the clipboard
        Refusal,  // text: the service's message, the marker cut off
        Failure,  // text: the error, shown after the ErrorUpload line
    };
    Kind kind;
    std::u16string text;

    bool operator==(const UploadOutcome&) const = default;
};

// A service that never answers must not keep a worker and its JPEG for ever.
// Tests shorten these.
struct UploadLimits {
    std::chrono::milliseconds connectTimeout{30'000};
    std::chrono::milliseconds stallTimeout{60'000};
    std::size_t maxReplyBody = 1 << 20;
};

// The marker that starts a refusal: "Ошибка.".
inline constexpr std::u16string_view kRefusalMarker = u"\u041E\u0448\u0438\u0431\u043A\u0430.";

// A reply text starting with the marker is a refusal whose message drops the
// first eight characters (the marker and, normally, a space); an empty text is
// a failure; anything else, untrimmed, is the address.
UploadOutcome ClassifyReplyText(std::u16string text);

// Sends the JPEG to the target through one new connection. Failures of the
// exchange (kadrix::Error) come back as Kind::Failure; other exceptions pass.
UploadOutcome UploadJpeg(const UploadTarget& target, std::string_view jpeg, const LocalTime& now,
                         Connector& connector, const UploadLimits& limits = {});

}  // namespace kadrix
