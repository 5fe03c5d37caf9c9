#pragma once
// A real HTTP service on the loopback interface for upload tests, natively
// (POSIX sockets) and under Wine (Winsock). It records the bytes of every
// request it reads and answers each one as the test has told it.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kadrix::test {

struct WinsockUse;  // WSAStartup and WSACleanup on Windows, nothing elsewhere

struct ServiceAnswer {
    std::string bytes;      // sent as they are once the request has been read
    bool holdOpen = false;  // then keep the connection open and silent until the service stops
    std::chrono::milliseconds perByte{0};  // sent one byte at a time, this long apart
};

// The answers upload tests need; every body is sent with a Content-Length
// unless the answer is about another framing.
namespace answers {
ServiceAnswer Text(std::string_view contentType, std::string_view body);
ServiceAnswer Address(std::string_view url);                      // text/plain; charset=utf-8
ServiceAnswer RefusalUtf8(std::string_view message);              // "Ошибка. " + message, UTF-8
ServiceAnswer WithoutCharset(std::string_view body);              // text/plain, no charset
ServiceAnswer Html(std::string_view contentType, std::string_view body);
ServiceAnswer Redirect(std::string_view location);                // 302 Found
ServiceAnswer NotFound();                                         // 404 Not Found
ServiceAnswer ContinueThenAddress(std::string_view url);          // 100 Continue, then 200
ServiceAnswer ChunkedAddress(std::string_view url, std::size_t chunkSize);
ServiceAnswer ToCloseAddress(std::string_view url);               // no length: the close ends it
ServiceAnswer ClosesEarly(std::string_view url);                  // promises more than it sends
ServiceAnswer Silent();                                           // reads the request, never answers
ServiceAnswer OverCap(std::size_t bodySize);                      // 200 with a body of that size
ServiceAnswer EmptyOk();                                          // 200, Content-Length: 0
ServiceAnswer Raw(std::string_view bytes);                        // anything, then close
ServiceAnswer Slowly(ServiceAnswer answer, std::chrono::milliseconds perByte);  // byte by byte
}  // namespace answers

class UploadTestService {
public:
    enum class Family { V4, V6 };

    // Listens on 127.0.0.1 (or ::1) on a free port. Throws std::runtime_error
    // when it cannot.
    explicit UploadTestService(Family family = Family::V4);
    ~UploadTestService();
    UploadTestService(const UploadTestService&) = delete;
    UploadTestService& operator=(const UploadTestService&) = delete;

    std::uint16_t Port() const { return port_; }

    // The answer to every request from now on (an address until told otherwise).
    void Answer(ServiceAnswer answer);

    // The bytes of each request read so far, in the order they were complete.
    std::vector<std::string> Requests() const;

    // True once at least n requests have been read, false after `timeout`.
    bool WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    void AcceptLoop();
    void Serve(std::uintptr_t socket);

    std::unique_ptr<WinsockUse> winsock_;
    std::uintptr_t listener_;
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    ServiceAnswer answer_;
    std::vector<std::string> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

// A listener on 127.0.0.1 whose queue of connections is already full, so that
// a new connection waits until the caller gives up: the host's TCP stack
// drops the handshake instead of refusing it.
class FullListener {
public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    std::uint16_t Port() const { return port_; }

private:
    std::unique_ptr<WinsockUse> winsock_;
    std::uintptr_t listener_;
    std::uintptr_t filler_;
    std::uint16_t port_ = 0;
};

}  // namespace kadrix::test
