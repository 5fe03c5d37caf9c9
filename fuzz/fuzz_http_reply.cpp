// Upload replies come from whatever service the user set: any bytes, cut into
// any pieces, must read as a reply or fail with an Error, and whatever body
// is read must decode and classify without a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/Error.h"
#include "upload/HttpReply.h"
#include "upload/ReplyText.h"
#include "upload/UploadExchange.h"

namespace {

// Replays the input in pieces whose sizes come from its first byte; at the end
// it either closes or, when the first byte says so, stalls.
class FuzzConnection final : public kadrix::Connection {
public:
    FuzzConnection(std::string_view bytes, std::size_t piece, bool stallAtEnd)
        : bytes_(bytes), piece_(piece), stallAtEnd_(stallAtEnd) {}

    bool Send(std::string_view, std::chrono::milliseconds) override { return true; }

    std::optional<std::size_t> Receive(std::span<char> buffer, std::chrono::milliseconds) override {
        if (bytes_.empty() && stallAtEnd_) return std::nullopt;
        const std::size_t n = std::min({buffer.size(), piece_, bytes_.size()});
        std::copy_n(bytes_.data(), n, buffer.data());
        bytes_.remove_prefix(n);
        return n;
    }

private:
    std::string_view bytes_;
    std::size_t piece_;
    bool stallAtEnd_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + (data[0] & 0x7F) * 13;
    const bool stallAtEnd = (data[0] & 0x80) != 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    FuzzConnection connection(bytes, piece, stallAtEnd);
    try {
        const auto reply = kadrix::ReadHttpReply(connection, {std::chrono::milliseconds(1), 64 * 1024});
        if (reply.body.size() > 64 * 1024) __builtin_trap();
        const std::string* type = reply.Header("Content-Type");
        auto text = kadrix::DecodeReplyBody(type ? *type : std::string_view(), reply.body);
        kadrix::ClassifyReplyText(std::move(text));
    } catch (const kadrix::Error&) {
    }
    // The body decoders on their own, with the input as both type and body.
    const std::size_t split = std::min<std::size_t>(bytes.size(), data[0] % 64);
    kadrix::DecodeReplyBody(bytes.substr(0, split), bytes.substr(split));
    return 0;
}
