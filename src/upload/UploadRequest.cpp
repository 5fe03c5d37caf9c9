#include "upload/UploadRequest.h"

#include <array>
#include <cstdio>

#include "core/Error.h"
#include "core/Utf.h"
#include "upload/UploadErrors.h"

namespace kadrix {

namespace {

constexpr std::string_view kAccept = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
constexpr std::string_view kUserAgent = "Mozilla/5.0 (Windows NT 5.1; rv:45.0) Gecko/20100101 Firefox/45.0";
constexpr std::string_view kPartHeaders =
    "Content-Disposition: form-data; name=\"screenshot\"; filename=\"NameScreenshot\"\r\n"
    "Content-Type: image/jpeg; charset=\"utf-8\"\r\n"
    "Content-Transfer-Encoding: binary\r\n"
    "\r\n";

bool IsHostCharacter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'.' || c == u'_';
}

bool IsV6Character(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u':' ||
           c == u'.' || c == u'%' || IsHostCharacter(c);
}

std::optional<std::uint16_t> ParsePort(std::u16string_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string Narrow(std::u16string_view ascii) { return std::string(ascii.begin(), ascii.end()); }

}  // namespace

std::optional<UploadTarget> ParseUploadHost(std::u16string_view value) {
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    if (value.empty()) return std::nullopt;

    const auto invalid = [value] { return Error(InvalidHostText(value)); };
    std::u16string_view host = value;
    std::u16string_view port;
    if (value.front() == u'[') {
        const size_t close = value.find(u']');
        if (close == std::u16string_view::npos) throw invalid();
        host = value.substr(1, close - 1);
        const auto rest = value.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != u':') throw invalid();
            port = rest.substr(1);
            if (port.empty()) throw invalid();
        }
        if (host.find(u':') == std::u16string_view::npos) throw invalid();
        for (char16_t c : host) {
            if (!IsV6Character(c)) throw invalid();
        }
    } else {
        // More than one colon outside brackets is an IPv6 address whose port
        // cannot be told apart from its last group.
        const size_t colon = value.find(u':');
        if (colon != std::u16string_view::npos) {
            if (value.find(u':', colon + 1) != std::u16string_view::npos) throw invalid();
            host = value.substr(0, colon);
            port = value.substr(colon + 1);
            if (port.empty()) throw invalid();
        }
        for (char16_t c : host) {
            if (!IsHostCharacter(c)) throw invalid();
        }
    }
    if (host.empty()) throw invalid();
    UploadTarget target{Narrow(host), 80};
    if (!port.empty()) {
        const auto number = ParsePort(port);
        if (!number) throw invalid();
        target.port = *number;
    }
    return target;
}

std::string HostHeaderValue(const UploadTarget& target) {
    const bool v6 = target.host.find(':') != std::string::npos;
    std::string value;
    value.reserve(target.host.size() + 8);
    if (v6) value += '[';
    value += target.host;
    if (v6) value += ']';
    if (target.port != 80) value.append(":").append(std::to_string(target.port));
    return value;
}

std::string MakeBoundary(const LocalTime& now) {
    const LocalDateTime& t = now.dateTime;
    std::array<char, 32> digits{};
    std::snprintf(digits.data(), digits.size(), "%02d%02d%02d%02d%02d%02d%03d", t.month % 100, t.day % 100,
                  t.year % 100, t.hour % 100, t.minute % 100, t.second % 100, now.millisecond % 1000);
    return "--------" + std::string(digits.data());
}

std::string BuildUploadRequest(const UploadTarget& target, std::string_view jpeg, std::string_view boundary) {
    const std::size_t bodySize =
        2 + boundary.size() + 2 + kPartHeaders.size() + jpeg.size() + 2 + 2 + boundary.size() + 2 + 2;
    std::string head;
    head.reserve(512);
    head.append("POST ").append(kUploadPath).append(" HTTP/1.0\r\n");
    head.append("Connection: keep-alive\r\n");
    head.append("Content-Type: multipart/form-data; boundary=").append(boundary).append("\r\n");
    head.append("Content-Length: ").append(std::to_string(bodySize)).append("\r\n");
    head.append("Host: ").append(HostHeaderValue(target)).append("\r\n");
    head.append("Accept: ").append(kAccept).append("\r\n");
    head.append("User-Agent: ").append(kUserAgent).append("\r\n");
    head.append("\r\n");

    std::string request;
    request.reserve(head.size() + bodySize);
    request.append(head);
    request.append("--").append(boundary).append("\r\n");
    request.append(kPartHeaders);
    request.append(jpeg);
    request.append("\r\n--").append(boundary).append("--\r\n");
    return request;
}

}  // namespace kadrix
