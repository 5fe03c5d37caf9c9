#include "upload/HttpReply.h"

#include <algorithm>
#include <optional>

#include "core/Error.h"
#include "upload/UploadErrors.h"

namespace kadrix {

namespace {

constexpr std::size_t kReceiveChunk = 16 * 1024;

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Received bytes not yet consumed, and the bounded ways of getting more.
class ReplyStream {
public:
    ReplyStream(Connection& connection, const ReplyBounds& bounds) : connection_(connection), bounds_(bounds) {}

    // One line without its CR LF (a bare LF ends a line too); nullopt when it
    // runs longer than maxLength.
    std::optional<std::string_view> Line(std::size_t maxLength) {
        std::size_t searched = 0;  // bytes after start_ known to hold no LF
        while (true) {
            const std::size_t lf = buffer_.find('\n', start_ + searched);
            if (lf != std::string::npos) {
                if (lf - start_ > maxLength) return std::nullopt;
                std::string_view line(buffer_.data() + start_, lf - start_);
                start_ = lf + 1;
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                return line;
            }
            searched = buffer_.size() - start_;
            if (searched > maxLength) return std::nullopt;
            if (!More()) throw Error(std::u16string(kConnectionClosedText));
        }
    }

    // Appends exactly n bytes to out.
    void Take(std::size_t n, std::string& out) {
        while (n > 0) {
            if (start_ == buffer_.size() && !More()) throw Error(std::u16string(kConnectionClosedText));
            const std::size_t k = std::min(n, buffer_.size() - start_);
            out.append(buffer_, start_, k);
            start_ += k;
            n -= k;
        }
    }

    // Appends everything up to the close, failing past `cap` bytes in out.
    void TakeToClose(std::string& out, std::size_t cap) {
        while (true) {
            out.append(buffer_, start_);
            start_ = buffer_.size();
            if (out.size() > cap) throw Error(ReplyTooLargeText(cap));
            if (!More()) return;
        }
    }

private:
    // Reads more bytes; false at the service's close.
    bool More() {
        if (start_ > 0) {
            buffer_.erase(0, start_);
            start_ = 0;
        }
        const std::size_t old = buffer_.size();
        buffer_.resize(old + kReceiveChunk);
        const auto n = connection_.Receive(std::span<char>(buffer_.data() + old, kReceiveChunk), bounds_.stall);
        buffer_.resize(old + n.value_or(0));
        if (!n) throw Error(ReplyStalledText(bounds_.stall));
        return *n > 0;
    }

    Connection& connection_;
    const ReplyBounds& bounds_;
    std::string buffer_;
    std::size_t start_ = 0;
};

// Status and header lines of all the replies read share one budget.
class HeaderBudget {
public:
    std::string_view Line(ReplyStream& stream) {
        const auto line = stream.Line(left_);
        if (!line) throw Error(HeadersTooLongText(kMaxReplyHeaderBytes));
        left_ -= std::min(left_, line->size() + 2);
        return *line;
    }

private:
    std::size_t left_ = kMaxReplyHeaderBytes;
};

// "HTTP/1.1 200 OK" -> 200; nullopt for anything else.
std::optional<int> ParseStatusLine(std::string_view line) {
    if (line.size() < 12 || !line.starts_with("HTTP/")) return std::nullopt;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(line[5]) || line[6] != '.' || !digit(line[7]) || line[8] != ' ') return std::nullopt;
    if (!digit(line[9]) || !digit(line[10]) || !digit(line[11])) return std::nullopt;
    if (line.size() > 12 && line[12] != ' ') return std::nullopt;
    return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}

void ReadHeaders(ReplyStream& stream, HeaderBudget& budget, HttpReply& reply) {
    reply.headers.clear();
    while (true) {
        const std::string_view line = budget.Line(stream);
        if (line.empty()) return;
        if (line.front() == ' ' || line.front() == '\t') {
            // An old-style continuation line belongs to the header above.
            if (reply.headers.empty()) throw Error(std::u16string(kBadHeaderText));
            reply.headers.back().second.append(" ").append(Trim(line));
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || Trim(line.substr(0, colon)).size() != colon) {
            throw Error(std::u16string(kBadHeaderText));
        }
        reply.headers.emplace_back(std::string(line.substr(0, colon)), std::string(Trim(line.substr(colon + 1))));
    }
}

std::optional<std::size_t> ContentLength(const HttpReply& reply) {
    std::optional<std::size_t> length;
    for (const auto& [name, value] : reply.headers) {
        if (!EqualsNoCase(name, "Content-Length")) continue;
        if (value.empty() || value.size() > 18 || !std::all_of(value.begin(), value.end(), [](char c) {
                return c >= '0' && c <= '9';
            })) {
            throw Error(std::u16string(kBadLengthText));
        }
        const std::size_t n = std::stoull(value);
        if (length && *length != n) throw Error(std::u16string(kBadLengthText));
        length = n;
    }
    return length;
}

bool IsChunked(const HttpReply& reply) {
    const std::string* coding = reply.Header("Transfer-Encoding");
    if (!coding) return false;
    // The last coding listed is the one applied last on the wire.
    std::string_view last = *coding;
    const std::size_t comma = last.rfind(',');
    if (comma != std::string_view::npos) last = last.substr(comma + 1);
    return EqualsNoCase(Trim(last), "chunked");
}

// A chunk-size line with room for extensions; nothing sensible is longer.
constexpr std::size_t kMaxChunkLine = 4096;

std::string_view ChunkLine(ReplyStream& stream) {
    const auto line = stream.Line(kMaxChunkLine);
    if (!line) throw Error(std::u16string(kBadChunkText));
    return *line;
}

void ReadChunked(ReplyStream& stream, std::string& body, std::size_t cap) {
    while (true) {
        std::string_view line = ChunkLine(stream);
        const std::size_t semicolon = line.find(';');
        if (semicolon != std::string_view::npos) line = line.substr(0, semicolon);
        line = Trim(line);
        if (line.empty() || line.size() > 15) throw Error(std::u16string(kBadChunkText));
        std::size_t size = 0;
        for (char c : line) {
            int digit;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            else throw Error(std::u16string(kBadChunkText));
            size = size * 16 + static_cast<std::size_t>(digit);
        }
        if (size == 0) break;
        if (size > cap - body.size()) throw Error(ReplyTooLargeText(cap));
        stream.Take(size, body);
        if (!ChunkLine(stream).empty()) throw Error(std::u16string(kBadChunkText));
    }
    // Trailer fields, if any, up to the empty line.
    HeaderBudget trailers;
    while (!trailers.Line(stream).empty()) {
    }
}

}  // namespace

const std::string* HttpReply::Header(std::string_view name) const {
    for (const auto& [n, value] : headers) {
        if (EqualsNoCase(n, name)) return &value;
    }
    return nullptr;
}

HttpReply ReadHttpReply(Connection& connection, const ReplyBounds& bounds) {
    ReplyStream stream(connection, bounds);
    HeaderBudget budget;
    HttpReply reply;
    do {
        const std::string_view line = budget.Line(stream);
        const auto status = ParseStatusLine(line);
        if (!status) throw Error(std::u16string(kNotHttpText));
        reply.status = *status;
        reply.statusLine = line;
        ReadHeaders(stream, budget, reply);
    } while (reply.status >= 100 && reply.status < 200);

    if (reply.status < 200 || reply.status > 299) return reply;
    if (reply.status == 204 || reply.status == 205) return reply;
    if (IsChunked(reply)) {
        ReadChunked(stream, reply.body, bounds.maxBody);
    } else if (const auto length = ContentLength(reply)) {
        if (*length > bounds.maxBody) throw Error(ReplyTooLargeText(bounds.maxBody));
        reply.body.reserve(*length);
        stream.Take(*length, reply.body);
    } else {
        stream.TakeToClose(reply.body, bounds.maxBody);
    }
    return reply;
}

}  // namespace kadrix
