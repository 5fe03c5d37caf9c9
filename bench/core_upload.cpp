// The upload of a 5 MB screenshot: building the request and reading the
// reply, without the network. The figure that matters is how many bytes the
// exchange copies per byte it sends (the JPEG should be copied once). Every
// buffer the exchange fills is allocated for it, so the bytes allocated while
// it runs bound the bytes it copies; they are counted by the operator new below.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "support/ImagePatterns.h"
#include "support/ScriptedConnection.h"
#include "upload/HttpReply.h"
#include "upload/ReplyText.h"
#include "upload/UploadExchange.h"

namespace {

std::atomic<bool> gCounting{false};
std::atomic<std::size_t> gAllocated{0};

}  // namespace

// Kept out of line: GCC would otherwise pair the inlined malloc with a sized
// delete and warn about a mismatch that is not there.
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (gCounting.load(std::memory_order_relaxed)) gAllocated.fetch_add(size, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace kadrix;

constexpr std::size_t kJpegSize = 5u << 20;
const LocalTime kMoment{{2024, 3, 1, 12, 0, 0}, 1};
const std::string kAddressReply =
    "HTTP/1.1 200 OK\r\nDate: Fri, 01 Mar 2024 12:00:00 GMT\r\nServer: Apache\r\nConnection: close\r\n"
    "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 72\r\n\r\n"
    "http://uploads.example.org/sites/kadrix/shots/0123456789abcdef0123456789abcdef.jpg";

std::string FakeJpeg() {
    std::string jpeg = "\xFF\xD8\xFF\xE0";
    std::uint32_t state = 99;
    while (jpeg.size() < kJpegSize) jpeg += static_cast<char>(test::NextNoise(state));
    return jpeg;
}

// Hands out one scripted connection per upload and remembers it.
class ScriptedConnector final : public Connector {
public:
    explicit ScriptedConnector(std::string reply) : reply_(std::move(reply)) {}
    std::unique_ptr<Connection> Connect(const std::string&, std::uint16_t, std::chrono::milliseconds) override {
        auto connection = std::make_unique<test::ScriptedConnection>(reply_, 1460);
        last_ = connection.get();
        return connection;
    }
    std::size_t LastSent() const { return last_ ? last_->BytesSent() : 0; }

private:
    std::string reply_;
    test::ScriptedConnection* last_ = nullptr;
};

void BM_BuildUploadRequest(benchmark::State& state) {
    const std::string jpeg = FakeJpeg();
    const std::string boundary = MakeBoundary(kMoment);
    for (auto _ : state) {
        std::string request = BuildUploadRequest({"uploads.example.org", 80}, jpeg, boundary);
        benchmark::DoNotOptimize(request.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * jpeg.size()));
}
BENCHMARK(BM_BuildUploadRequest)->Unit(benchmark::kMillisecond);

// The whole exchange over a connection that takes everything at once and
// answers with an address in 1460-byte segments.
void BM_UploadJpegExchange(benchmark::State& state) {
    const std::string jpeg = FakeJpeg();
    ScriptedConnector connector(kAddressReply);
    std::size_t allocated = 0, sent = 0;
    for (auto _ : state) {
        gAllocated = 0;
        gCounting = true;
        UploadOutcome outcome = UploadJpeg({"uploads.example.org", 80}, jpeg, kMoment, connector);
        gCounting = false;
        if (outcome.kind != UploadOutcome::Kind::Address) state.SkipWithError("the exchange failed");
        allocated += gAllocated;
        sent += connector.LastSent();
        benchmark::DoNotOptimize(outcome.text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(sent));
    state.counters["copied_per_sent_byte"] = static_cast<double>(allocated) / static_cast<double>(sent);
    state.counters["request_MB"] = static_cast<double>(sent) / static_cast<double>(state.iterations()) / 1e6;
}
BENCHMARK(BM_UploadJpegExchange)->Unit(benchmark::kMillisecond);

// Reading and decoding a reply body at the 1 MiB cap, chunked as servers that
// stream do.
void BM_ReadChunkedReplyAtTheCap(benchmark::State& state) {
    std::string reply =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string chunk(4000, 'a');
    std::size_t body = 0;
    while (body + chunk.size() <= (1u << 20)) {
        reply += "fa0\r\n" + chunk + "\r\n";
        body += chunk.size();
    }
    reply += "0\r\n\r\n";
    for (auto _ : state) {
        test::ScriptedConnection connection(reply, 1460);
        const HttpReply parsed = ReadHttpReply(connection, {std::chrono::seconds(60), 1u << 20});
        std::u16string text = DecodeReplyBody(*parsed.Header("Content-Type"), parsed.body);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_ReadChunkedReplyAtTheCap)->Unit(benchmark::kMillisecond);

}  // namespace
