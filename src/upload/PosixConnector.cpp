// Native build: the connection over POSIX sockets, non-blocking, with poll()
// bounding every wait.
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/Error.h"
#include "core/Utf.h"
#include "upload/Connection.h"
#include "upload/UploadErrors.h"

namespace kadrix {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowSocketError(int code) {
    char buffer[256];
    // The GNU strerror_r: returns the text, which may or may not be in buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    throw Error(SocketErrorText(code, Utf8ToUtf16(text)));
}

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// Waits for `events` until `deadline`; false when the time ran out.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    while (true) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int rc = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
        if (rc > 0) return true;
        if (rc < 0 && errno != EINTR) ThrowSocketError(errno);
    }
}

class PosixConnection final : public Connection {
public:
    explicit PosixConnection(int fd) : socket_(fd) {}

    bool Send(std::string_view bytes, std::chrono::milliseconds stall) override {
        while (!bytes.empty()) {
            // MSG_NOSIGNAL: a service that hangs up must not raise SIGPIPE in Kadrix.
            const ssize_t n = send(socket_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n > 0) {
                bytes.remove_prefix(static_cast<size_t>(n));
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!WaitFor(socket_.Get(), POLLOUT, Clock::now() + stall)) return false;
            } else if (n < 0 && errno != EINTR) {
                ThrowSocketError(errno);
            }
        }
        return true;
    }

    std::optional<std::size_t> Receive(std::span<char> buffer, std::chrono::milliseconds stall) override {
        while (true) {
            const ssize_t n = recv(socket_.Get(), buffer.data(), buffer.size(), 0);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (!WaitFor(socket_.Get(), POLLIN, Clock::now() + stall)) return std::nullopt;
            } else if (errno != EINTR) {
                ThrowSocketError(errno);
            }
        }
    }

private:
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
        if (rc == EAI_SYSTEM) ThrowSocketError(errno);
        if (rc != 0) throw Error(SocketErrorText(rc, Utf8ToUtf16(gai_strerror(rc))));
    }
    ~AddressList() { freeaddrinfo(list_); }
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    const addrinfo* First() const { return list_; }

private:
    addrinfo* list_ = nullptr;
};

class PosixConnector final : public Connector {
public:
    std::unique_ptr<Connection> Connect(const std::string& host, std::uint16_t port,
                                        std::chrono::milliseconds timeout) override {
        const auto deadline = Clock::now() + timeout;
        const AddressList addresses(host, port);
        int lastError = ECONNREFUSED;
        for (const addrinfo* a = addresses.First(); a; a = a->ai_next) {
            const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
            if (fd < 0) {
                lastError = errno;
                continue;
            }
            auto connection = std::make_unique<PosixConnection>(fd);
            if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) return connection;
            if (errno != EINPROGRESS) {
                lastError = errno;
                continue;
            }
            if (!WaitFor(fd, POLLOUT, deadline)) return nullptr;
            int error = 0;
            socklen_t size = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
            if (error == 0) return connection;
            lastError = error;
        }
        ThrowSocketError(lastError);
    }
};

}  // namespace

std::unique_ptr<Connector> MakeSocketConnector() { return std::make_unique<PosixConnector>(); }

}  // namespace kadrix
