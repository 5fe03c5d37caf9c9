#pragma once
// The upload request as it goes on the wire: an HTTP/1.0 POST of one
// multipart/form-data field holding the JPEG, to a fixed path on the host
// that Settings.ini names.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/ScreenshotFile.h"

namespace kadrix {

inline constexpr std::string_view kUploadPath = "/sites/kadrix/upload_screenshot.php";
// The body is the JPEG plus this many bytes of multipart framing.
inline constexpr std::size_t kMultipartOverhead = 216;

struct UploadTarget {
    std::string host;  // a name or an address; IPv6 without brackets
    std::uint16_t port = 80;
};

// The value of Host under [Upload]: "name", "name:port", "[v6]" or "[v6]:port".
// nullopt when it is empty (no upload service set); throws Error with
// InvalidHostText when it cannot be an address.
std::optional<UploadTarget> ParseUploadHost(std::u16string_view value);

// The Host header's value: the port only when it is not 80; IPv6 in brackets.
std::string HostHeaderValue(const UploadTarget& target);

struct LocalTime {
    LocalDateTime dateTime;
    int millisecond = 0;
};

// Eight hyphens and "mmddyyhhnnsszzz" of the moment the form is prepared.
std::string MakeBoundary(const LocalTime& now);

// Request line, the six headers in order, the empty line and the body, in one
// buffer of exactly the size sent (the JPEG is copied once).
std::string BuildUploadRequest(const UploadTarget& target, std::string_view jpeg, std::string_view boundary);

}  // namespace kadrix
