#include "support/UploadTestService.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kadrix::test {

namespace {

#ifdef _WIN32
using Handle = SOCKET;
constexpr Handle kNone = INVALID_SOCKET;
constexpr int kSendFlags = 0;
void CloseSocket(Handle s) { closesocket(s); }
#else
using Handle = int;
constexpr Handle kNone = -1;
constexpr int kSendFlags = MSG_NOSIGNAL;  // a client that hung up must not kill the test run
void CloseSocket(Handle s) { close(s); }
#endif

Handle AsHandle(std::uintptr_t s) { return static_cast<Handle>(s); }

// Short waits so that every thread of the service notices a stop quickly.
constexpr auto kPollStep = std::chrono::milliseconds(20);
// A test never sends more than this; a runaway client cannot fill memory.
constexpr std::size_t kMaxRequest = 64u << 20;

bool Readable(Handle s, std::chrono::milliseconds wait) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{0, static_cast<long>(std::chrono::microseconds(wait).count())};
    return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv) > 0;
}

std::string Response(std::string_view statusLine, std::string_view headers, std::string_view body) {
    std::string out(statusLine);
    out += "\r\n";
    out += headers;
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out += body;
    return out;
}

// The request is complete once its header block and Content-Length bytes of
// body are in.
bool RequestComplete(const std::string& bytes) {
    const std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    std::string head = bytes.substr(0, end);
    std::transform(head.begin(), head.end(), head.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    const std::size_t at = head.find("\r\ncontent-length:");
    const std::size_t length = at == std::string::npos ? 0 : std::stoull(head.substr(at + 17));
    return bytes.size() >= end + 4 + length;
}

}  // namespace

namespace answers {

ServiceAnswer Text(std::string_view contentType, std::string_view body) {
    return {Response("HTTP/1.1 200 OK", "Content-Type: " + std::string(contentType) + "\r\n", body)};
}
ServiceAnswer Address(std::string_view url) { return Text("text/plain; charset=utf-8", url); }
ServiceAnswer RefusalUtf8(std::string_view message) {
    const std::string marker = "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0.";  // Ошибка.
    return Text("text/plain; charset=utf-8", marker + " " + std::string(message));
}
ServiceAnswer WithoutCharset(std::string_view body) { return Text("text/plain", body); }
ServiceAnswer Html(std::string_view contentType, std::string_view body) { return Text(contentType, body); }
ServiceAnswer Redirect(std::string_view location) {
    return {Response("HTTP/1.1 302 Found", "Location: " + std::string(location) + "\r\n", "moved")};
}
ServiceAnswer NotFound() { return {Response("HTTP/1.1 404 Not Found", "Content-Type: text/plain\r\n", "no")}; }
ServiceAnswer ContinueThenAddress(std::string_view url) {
    return {"HTTP/1.1 100 Continue\r\n\r\n" + Address(url).bytes};
}
ServiceAnswer ChunkedAddress(std::string_view url, std::size_t chunkSize) {
    std::string out =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (std::size_t i = 0; i < url.size(); i += chunkSize) {
        const auto piece = url.substr(i, chunkSize);
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        out += size;
        out += piece;
        out += "\r\n";
    }
    out += "0\r\n\r\n";
    return {out};
}
ServiceAnswer ToCloseAddress(std::string_view url) {
    return {"HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + std::string(url)};
}
ServiceAnswer ClosesEarly(std::string_view url) {
    return {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(url.size() + 100) +
            "\r\n\r\n" + std::string(url)};
}
ServiceAnswer Silent() { return {"", true}; }
ServiceAnswer Slowly(ServiceAnswer answer, std::chrono::milliseconds perByte) {
    answer.perByte = perByte;
    return answer;
}
ServiceAnswer OverCap(std::size_t bodySize) { return Text("text/plain", std::string(bodySize, 'x')); }
ServiceAnswer EmptyOk() { return Text("text/plain; charset=utf-8", ""); }
ServiceAnswer Raw(std::string_view bytes) { return {std::string(bytes)}; }

}  // namespace answers

struct WinsockUse {
#ifdef _WIN32
    WinsockUse() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    }
    ~WinsockUse() { WSACleanup(); }
#endif
};

namespace {

// A socket listening on the loopback address of the family, on a free port.
Handle Listen(int af, int backlog, std::uint16_t& port) {
    const Handle listener = socket(af, SOCK_STREAM, IPPROTO_TCP);
    if (listener == kNone) throw std::runtime_error("cannot create the service's socket");
    sockaddr_storage address{};
    socklen_t size;
    if (af == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof *v4;
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_loopback;
        size = sizeof *v6;
    }
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener, backlog) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        CloseSocket(listener);
        throw std::runtime_error("cannot listen on the loopback interface");
    }
    port = ntohs(af == AF_INET ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                               : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return listener;
}

}  // namespace

UploadTestService::UploadTestService(Family family)
    : winsock_(std::make_unique<WinsockUse>()), answer_(answers::Address("http://127.0.0.1/shots/1.jpg")) {
    listener_ = static_cast<std::uintptr_t>(Listen(family == Family::V4 ? AF_INET : AF_INET6, 16, port_));
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

UploadTestService::~UploadTestService() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    acceptor_.join();
    for (auto& t : connections_) t.join();
    CloseSocket(AsHandle(listener_));
}

void UploadTestService::Answer(ServiceAnswer answer) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
}

std::vector<std::string> UploadTestService::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool UploadTestService::WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= n; });
}

void UploadTestService::AcceptLoop() {
    const Handle listener = AsHandle(listener_);
    while (true) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        if (!Readable(listener, kPollStep)) continue;
        const Handle client = accept(listener, nullptr, nullptr);
        if (client == kNone) continue;
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, client] { Serve(static_cast<std::uintptr_t>(client)); });
    }
}

void UploadTestService::Serve(std::uintptr_t socketValue) {
    const Handle s = AsHandle(socketValue);
    const auto stopping = [this] {
        std::lock_guard lock(mutex_);
        return stopping_;
    };
    std::string request;
    char buffer[64 * 1024];
    while (!RequestComplete(request) && request.size() < kMaxRequest && !stopping()) {
        if (!Readable(s, kPollStep)) continue;
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    ServiceAnswer answer;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        answer = answer_;
    }
    changed_.notify_all();

    std::string_view out = answer.bytes;
    const std::size_t piece = answer.perByte.count() > 0 ? 1 : std::size_t{1} << 20;
    while (!out.empty()) {
        if (answer.perByte.count() > 0) std::this_thread::sleep_for(answer.perByte);
        const int n = send(s, out.data(), static_cast<int>(std::min(out.size(), piece)), kSendFlags);
        if (n <= 0) break;
        out.remove_prefix(static_cast<std::size_t>(n));
    }
    if (answer.holdOpen) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_; });
    }
    CloseSocket(s);
}

FullListener::FullListener() : winsock_(std::make_unique<WinsockUse>()) {
    const Handle listener = Listen(AF_INET, 0, port_);
    listener_ = static_cast<std::uintptr_t>(listener);
    // A backlog of 0 leaves room for one connection; this one takes it.
    const Handle filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    if (filler == kNone || connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (filler != kNone) CloseSocket(filler);
        CloseSocket(listener);
        throw std::runtime_error("cannot fill the listener's queue");
    }
    filler_ = static_cast<std::uintptr_t>(filler);
}

FullListener::~FullListener() {
    CloseSocket(AsHandle(filler_));
    CloseSocket(AsHandle(listener_));
}

}  // namespace kadrix::test
