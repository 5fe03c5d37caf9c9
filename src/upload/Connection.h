#pragma once
// The upload's only way to the network: one TCP connection to host:port,
// found through the system's resolver (IPv4 or IPv6), no proxy. Socket
// failures throw Error with SocketErrorText; running out of time is a result,
// so that the exchange can name what took too long.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kadrix {

class Connection {
public:
    virtual ~Connection() = default;

    // Sends every byte; false when the peer took nothing for `stall`.
    virtual bool Send(std::string_view bytes, std::chrono::milliseconds stall) = 0;

    // Waits at most `stall` for data; returns the count received, 0 when the
    // peer has closed its side, nullopt when nothing came in time.
    virtual std::optional<std::size_t> Receive(std::span<char> buffer, std::chrono::milliseconds stall) = 0;
};

class Connector {
public:
    virtual ~Connector() = default;

    // Tries each address the name resolves to until one accepts; nullptr when
    // `timeout` runs out first.
    virtual std::unique_ptr<Connection> Connect(const std::string& host, std::uint16_t port,
                                                std::chrono::milliseconds timeout) = 0;
};

// Plain TCP sockets of the system: POSIX sockets natively (PosixConnector.cpp),
// Winsock on Windows (WinsockConnector.cpp).
std::unique_ptr<Connector> MakeSocketConnector();

}  // namespace kadrix
