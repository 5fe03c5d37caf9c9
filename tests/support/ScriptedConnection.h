#pragma once
// A connection that replays fixed reply bytes in pieces of a given size, then
// reports the close (or, when asked, a wait that never ends), and keeps what
// was sent to it.
#include <algorithm>
#include <string>

#include "upload/Connection.h"

namespace kadrix::test {

class ScriptedConnection final : public Connection {
public:
    explicit ScriptedConnection(std::string reply, std::size_t pieceSize = 1 << 20, bool stallAtEnd = false)
        : reply_(std::move(reply)), pieceSize_(pieceSize), stallAtEnd_(stallAtEnd) {}

    bool Send(std::string_view bytes, std::chrono::milliseconds) override {
        sent_ += bytes.size();
        return true;
    }

    std::optional<std::size_t> Receive(std::span<char> buffer, std::chrono::milliseconds) override {
        if (at_ == reply_.size() && stallAtEnd_) return std::nullopt;
        const std::size_t n = std::min({buffer.size(), pieceSize_, reply_.size() - at_});
        std::copy_n(reply_.data() + at_, n, buffer.data());
        at_ += n;
        return n;
    }

    std::size_t BytesSent() const { return sent_; }
    void Rewind() { at_ = 0; }

private:
    std::string reply_;
    std::size_t pieceSize_;
    bool stallAtEnd_;
    std::size_t at_ = 0;
    std::size_t sent_ = 0;
};

}  // namespace kadrix::test
