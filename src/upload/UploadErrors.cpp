#include "upload/UploadErrors.h"

#include <string>

#include "core/Error.h"
#include "core/Utf.h"

namespace kadrix {

namespace {

std::u16string Number(long long n) { return AsciiToUtf16(std::to_string(n)); }

// Whole seconds read better; the shortened bounds of tests are in ms.
std::u16string DurationText(std::chrono::milliseconds d) {
    const long long ms = d.count();
    if (ms % 1000 != 0) return Number(ms) + u" ms";
    return Number(ms / 1000) + (ms == 1000 ? u" second" : u" seconds");
}

std::u16string SizeText(std::size_t bytes) {
    const auto n = static_cast<long long>(bytes);
    if (n > 0 && n % (1 << 20) == 0) return Number(n >> 20) + u" MiB";
    if (n > 0 && n % 1024 == 0) return Number(n >> 10) + u" KiB";
    return Number(n) + u" bytes";
}

}  // namespace

std::u16string SocketErrorText(int code, std::u16string_view description) {
    return u"Socket Error # " + Number(code) + u"\r\n" + std::u16string(description);
}

std::u16string ConnectTimeoutText(std::u16string_view hostAndPort, std::chrono::milliseconds timeout) {
    return FormatText(u"The upload service %s did not accept a connection within %s.",
                      {hostAndPort, DurationText(timeout)});
}

std::u16string ReplyStalledText(std::chrono::milliseconds timeout) {
    return FormatText(u"The upload service stopped answering: nothing arrived for %s.", {DurationText(timeout)});
}

std::u16string SendStalledText(std::chrono::milliseconds timeout) {
    return FormatText(u"The upload service stopped taking the screenshot: nothing could be sent for %s.",
                      {DurationText(timeout)});
}

std::u16string ReplyTooLargeText(std::size_t cap) {
    return FormatText(u"The upload service's reply is larger than %s.", {SizeText(cap)});
}

std::u16string HeadersTooLongText(std::size_t cap) {
    return FormatText(u"The upload service sent more than %s of headers.", {SizeText(cap)});
}

std::u16string InvalidHostText(std::u16string_view value) {
    return FormatText(u"The upload service set in Settings.ini (Host under [Upload]) is not valid: \"%s\". "
                      u"Write a host name, host:port or [IPv6 address]:port.",
                      {value});
}

}  // namespace kadrix
