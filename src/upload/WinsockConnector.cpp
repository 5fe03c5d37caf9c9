// Windows build: the connection over Winsock, non-blocking, with select()
// bounding every wait.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <string>

#include "core/Error.h"
#include "upload/Connection.h"
#include "upload/UploadErrors.h"
#include "win32/WinText.h"

namespace kadrix {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowSocketError(int code) {
    throw Error(SocketErrorText(code, win::U(win::SystemErrorText(static_cast<DWORD>(code)))));
}

// Winsock counts its users; each connector and connection is one.
class WinsockUser {
public:
    WinsockUser() {
        WSADATA data;
        const int rc = WSAStartup(MAKEWORD(2, 2), &data);
        if (rc != 0) ThrowSocketError(rc);
    }
    ~WinsockUser() { WSACleanup(); }
    WinsockUser(const WinsockUser&) = delete;
    WinsockUser& operator=(const WinsockUser&) = delete;
};

class Socket {
public:
    explicit Socket(SOCKET s) : socket_(s) {}
    ~Socket() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

enum class Wait { Read, Write };

// Waits until the socket can be read or written (or has failed) before
// `deadline`; false when the time ran out.
bool WaitFor(SOCKET s, Wait what, Clock::time_point deadline) {
    while (true) {
        const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        const long long us = std::min<long long>(left.count(), 1000000LL * 3600);
        timeval tv{static_cast<long>(us / 1000000), static_cast<long>(us % 1000000)};
        const int rc = what == Wait::Read ? select(0, &ready, nullptr, &failed, &tv)
                                          : select(0, nullptr, &ready, &failed, &tv);
        if (rc > 0) return true;
        if (rc == SOCKET_ERROR && WSAGetLastError() != WSAEINTR) ThrowSocketError(WSAGetLastError());
    }
}

class WinsockConnection final : public Connection {
public:
    explicit WinsockConnection(SOCKET s) : socket_(s) {}

    bool Send(std::string_view bytes, std::chrono::milliseconds stall) override {
        while (!bytes.empty()) {
            const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
            const int n = send(socket_.Get(), bytes.data(), chunk, 0);
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
            } else if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
                if (!WaitFor(socket_.Get(), Wait::Write, Clock::now() + stall)) return false;
            } else if (n == SOCKET_ERROR && WSAGetLastError() != WSAEINTR) {
                ThrowSocketError(WSAGetLastError());
            }
        }
        return true;
    }

    std::optional<std::size_t> Receive(std::span<char> buffer, std::chrono::milliseconds stall) override {
        const int size = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX));
        while (true) {
            const int n = recv(socket_.Get(), buffer.data(), size, 0);
            if (n >= 0) return static_cast<std::size_t>(n);
            const int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) {
                if (!WaitFor(socket_.Get(), Wait::Read, Clock::now() + stall)) return std::nullopt;
            } else if (error != WSAEINTR) {
                ThrowSocketError(error);
            }
        }
    }

private:
    WinsockUser winsock_;
    Socket socket_;
};

class AddressList {
public:
    AddressList(const std::string& host, std::uint16_t port) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list_);
        if (rc != 0) ThrowSocketError(rc);
    }
    ~AddressList() { freeaddrinfo(list_); }
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    const addrinfo* First() const { return list_; }

private:
    addrinfo* list_ = nullptr;
};

class WinsockConnector final : public Connector {
public:
    std::unique_ptr<Connection> Connect(const std::string& host, std::uint16_t port,
                                        std::chrono::milliseconds timeout) override {
        const auto deadline = Clock::now() + timeout;
        const AddressList addresses(host, port);
        int lastError = WSAECONNREFUSED;
        for (const addrinfo* a = addresses.First(); a; a = a->ai_next) {
            const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (s == INVALID_SOCKET) {
                lastError = WSAGetLastError();
                continue;
            }
            auto connection = std::make_unique<WinsockConnection>(s);
            u_long nonBlocking = 1;
            if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) ThrowSocketError(WSAGetLastError());
            if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) return connection;
            if (WSAGetLastError() != WSAEWOULDBLOCK) {
                lastError = WSAGetLastError();
                continue;
            }
            if (!WaitFor(s, Wait::Write, deadline)) return nullptr;
            int error = 0;
            int size = sizeof error;
            if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
                error = WSAGetLastError();
            }
            if (error == 0) return connection;
            lastError = error;
        }
        ThrowSocketError(lastError);
    }

private:
    WinsockUser winsock_;
};

}  // namespace

std::unique_ptr<Connector> MakeSocketConnector() { return std::make_unique<WinsockConnector>(); }

}  // namespace kadrix
