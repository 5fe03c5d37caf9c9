// What each kind of reply from the upload service becomes: an address, a
// refusal or a failure with its error text. The exchanges run against a real
// local service; broken framing is fed through a scripted connection.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "core/Error.h"
#include "core/Utf.h"
#include "support/ScriptedConnection.h"
#include "support/UploadTestService.h"
#include "upload/Charset.h"
#include "upload/HttpReply.h"
#include "upload/ReplyText.h"
#include "upload/UploadErrors.h"
#include "upload/UploadExchange.h"

using namespace kadrix;
using K = UploadOutcome::Kind;
namespace answers = kadrix::test::answers;

namespace {

const LocalTime kMoment{{2024, 5, 17, 9, 8, 7}, 654};
const std::string kJpeg = "\xFF\xD8\xFF\xE0 not really a picture \xFF\xD9";
const std::string kUrl = "http://127.0.0.1/shots/5f2b.jpg";
constexpr std::string_view kRefusalUtf8 = "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0.";  // Ошибка.

// Tests wait a fraction of a second where the program waits a minute.
UploadLimits ShortLimits() { return {std::chrono::milliseconds(5000), std::chrono::milliseconds(300), 1 << 20}; }

}  // namespace

TEST(UploadExchange, EveryReplyOfTheServiceAndWhatItBecomes) {
    struct Case {
        const char* name;
        test::ServiceAnswer answer;
        UploadOutcome expected;
    };
    const std::string utf8Refusal = std::string(kRefusalUtf8) + " Файл не JPEG";
    const Case cases[] = {
        {"address", answers::Address(kUrl), {K::Address, AsciiToUtf16(kUrl)}},
        {"address with line break", answers::Address(kUrl + "\r\n"), {K::Address, AsciiToUtf16(kUrl + "\r\n")}},
        {"refusal in utf-8", answers::RefusalUtf8("Файл не JPEG"), {K::Refusal, u"Файл не JPEG"}},
        // Without a charset the bytes are ISO-8859-1: no marker, a garbled address.
        {"utf-8 bytes without charset", answers::WithoutCharset(utf8Refusal),
         {K::Address, Latin1ToUtf16(utf8Refusal)}},
        {"html with meta charset overriding the header",
         answers::Html("text/html; charset=utf-8",
                       "\xCE\xF8\xE8\xE1\xEA\xE0. \xCD\xE5\xF2 \xEC\xE5\xF1\xF2\xE0<meta charset=\"windows-1251\">"),
         {K::Refusal, u"Нет места<meta charset=\"windows-1251\">"}},
        {"302 is not followed", answers::Redirect("http://127.0.0.1:1/elsewhere"), {K::Failure, u"HTTP/1.1 302 Found"}},
        {"404", answers::NotFound(), {K::Failure, u"HTTP/1.1 404 Not Found"}},
        {"100 then 200", answers::ContinueThenAddress(kUrl), {K::Address, AsciiToUtf16(kUrl)}},
        {"chunked", answers::ChunkedAddress(kUrl, 7), {K::Address, AsciiToUtf16(kUrl)}},
        {"body to the close", answers::ToCloseAddress(kUrl), {K::Address, AsciiToUtf16(kUrl)}},
        {"close before the reply ends", answers::ClosesEarly(kUrl), {K::Failure, u"Connection Closed Gracefully."}},
        {"reply never comes", answers::Silent(),
         {K::Failure, u"The upload service stopped answering: nothing arrived for 300 ms."}},
        {"body over the cap", answers::OverCap((1 << 20) + 1),
         {K::Failure, u"The upload service's reply is larger than 1 MiB."}},
        {"empty 200", answers::EmptyOk(), {K::Failure, u"The upload service sent an empty reply."}},
    };
    const auto connector = MakeSocketConnector();
    for (const auto& c : cases) {
        test::UploadTestService service;
        service.Answer(c.answer);
        const UploadOutcome outcome = UploadJpeg({"127.0.0.1", service.Port()}, kJpeg, kMoment, *connector,
                                                 ShortLimits());
        EXPECT_EQ(outcome, c.expected) << c.name << ": got " << Utf16ToUtf8(outcome.text);
        EXPECT_EQ(service.Requests().size(), 1u) << c.name;
    }
}

TEST(UploadExchange, RefusedConnectionIsASocketErrorWithTheSystemsNumberAndText) {
    std::uint16_t closedPort;
    {
        test::UploadTestService service;
        closedPort = service.Port();
    }
    const auto connector = MakeSocketConnector();
    const UploadOutcome outcome = UploadJpeg({"127.0.0.1", closedPort}, kJpeg, kMoment, *connector, ShortLimits());
#ifdef _WIN32
    const std::u16string prefix = u"Socket Error # 10061\r\n";
#else
    const std::u16string prefix = u"Socket Error # " + AsciiToUtf16(std::to_string(ECONNREFUSED)) + u"\r\n";
#endif
    EXPECT_EQ(outcome.kind, K::Failure);
    EXPECT_TRUE(outcome.text.starts_with(prefix)) << Utf16ToUtf8(outcome.text);
    EXPECT_GT(outcome.text.size(), prefix.size());
}

TEST(UploadExchange, ReachesAServiceOverIPv6) {
    std::unique_ptr<test::UploadTestService> service;
    try {
        service = std::make_unique<test::UploadTestService>(test::UploadTestService::Family::V6);
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    service->Answer(answers::Address(kUrl));
    const auto connector = MakeSocketConnector();
    const auto target = ParseUploadHost(u"[::1]:" + AsciiToUtf16(std::to_string(service->Port())));
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(UploadJpeg(*target, kJpeg, kMoment, *connector, ShortLimits()),
              (UploadOutcome{K::Address, AsciiToUtf16(kUrl)}));
    const auto requests = service->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find("\r\nHost: [::1]:" + std::to_string(service->Port()) + "\r\n"), std::string::npos);
}

TEST(UploadExchange, ConnectingGivesUpAtItsBound) {
    test::FullListener listener;
    const auto connector = MakeSocketConnector();
    UploadLimits limits = ShortLimits();
    limits.connectTimeout = std::chrono::milliseconds(400);
    EXPECT_EQ(UploadJpeg({"127.0.0.1", listener.Port()}, kJpeg, kMoment, *connector, limits),
              (UploadOutcome{K::Failure, u"The upload service 127.0.0.1:" +
                                             AsciiToUtf16(std::to_string(listener.Port())) +
                                             u" did not accept a connection within 400 ms."}));
}

TEST(UploadExchange, ConnectTimeoutNamesTheServiceAndTheBound) {
    struct NeverConnects final : Connector {
        std::unique_ptr<Connection> Connect(const std::string&, std::uint16_t, std::chrono::milliseconds) override {
            return nullptr;
        }
    } connector;
    EXPECT_EQ(UploadJpeg({"uploads.example.org", 80}, kJpeg, kMoment, connector),
              (UploadOutcome{K::Failure, u"The upload service uploads.example.org:80 did not accept a connection "
                                         u"within 30 seconds."}));
    EXPECT_EQ(UploadJpeg({"::1", 8080}, kJpeg, kMoment, connector, ShortLimits()).text,
              u"The upload service [::1]:8080 did not accept a connection within 5 seconds.");
}

TEST(UploadReply, BrokenRepliesFailWithClearErrors) {
    struct Case { const char* name; std::string reply; std::u16string error; };
    const std::u16string closed(kConnectionClosedText), notHttp(kNotHttpText), badChunk(kBadChunkText);
    const std::u16string badHeader(kBadHeaderText), badLength(kBadLengthText);
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    const Case cases[] = {
        {"garbage status line", "hello there\r\n\r\nbody", notHttp},
        {"http/0.9 body alone", "http://x/\n", notHttp},
        {"status not a number", "HTTP/1.1 2OO OK\r\n\r\n", notHttp},
        {"status glued to reason", "HTTP/1.1 200OK\r\n\r\n", notHttp},
        {"nothing at all", "", closed},
        {"truncated status line", "HTTP/1.1 20", closed},
        {"truncated headers", ok + "Content-Type: text/pl", closed},
        {"headers without end", ok + "Content-Length: 3\r\n", closed},
        {"header without colon", ok + "Content-Type text/plain\r\n\r\n", badHeader},
        {"continuation before any header", ok + " folded\r\n\r\n", badHeader},
        {"length not a number", ok + "Content-Length: 12a\r\n\r\n", badLength},
        {"negative length", ok + "Content-Length: -1\r\n\r\n", badLength},
        {"two different lengths", ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", badLength},
        {"chunk size not hex", chunked + "zz\r\nab\r\n0\r\n\r\n", badChunk},
        {"chunk size negative", chunked + "-1\r\nab\r\n0\r\n\r\n", badChunk},
        {"chunk size empty", chunked + "\r\nab\r\n0\r\n\r\n", badChunk},
        {"chunk size overflowing", chunked + "10000000000000000\r\nab\r\n", badChunk},
        {"chunk data longer than its size", chunked + "2\r\nabc\r\n0\r\n\r\n", badChunk},
        {"chunk size line without end", chunked + "1;" + std::string(5000, 'e'), badChunk},
        {"chunked body cut off", chunked + "10\r\nabc", closed},
        {"last chunk without final line", chunked + "3\r\nabc\r\n0\r\n", closed},
        {"chunks over the cap", chunked + "80000\r\n" + std::string(0x80000, 'x') + "\r\n80001\r\n", 
         ReplyTooLargeText(1 << 20)},
        {"headers over their bound", ok + "X-Fill: " + std::string(70 * 1024, 'f') + "\r\n\r\n",
         HeadersTooLongText(64 * 1024)},
        {"endless interim replies", [] {
             std::string r;
             for (int i = 0; i < 5000; ++i) r += "HTTP/1.1 100 Continue\r\n\r\n";
             return r;
         }(), HeadersTooLongText(64 * 1024)},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{1}}) {
            if (piece == 1 && c.reply.size() > 4096) continue;
            test::ScriptedConnection connection(c.reply, piece);
            try {
                ReadHttpReply(connection, {std::chrono::milliseconds(100), 1 << 20});
                ADD_FAILURE() << c.name << " was read as a reply";
            } catch (const Error& e) {
                EXPECT_EQ(e.Message(), c.error) << c.name << " (pieces of " << piece << ")";
            }
        }
    }
}

TEST(UploadReply, FramingIsReadWhateverPiecesTheBytesArriveIn) {
    struct Case { const char* name; std::string reply; int status; std::string body; };
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "hello"},
        {"length, bytes beyond it ignored", "HTTP/1.1 200 OK\r\ncontent-length: 2\r\n\r\nhello", 200, "he"},
        {"bare line feeds", "HTTP/1.0 201 Created\nContent-Length: 2\n\nok", 201, "ok"},
        {"chunks with extensions and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n3;x=y\r\nabc\r\nA\r\n0123456789\r\n0\r\n"
         "Expires: never\r\n\r\n",
         200, "abc0123456789"},
        {"to the close", "HTTP/1.0 200 OK\r\n\r\nall of it", 200, "all of it"},
        {"several interim replies", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX: y\r\n\r\n"
                                    "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz", 200, "z"},
        {"204 has no body", "HTTP/1.1 204 No Content\r\n\r\nstray", 204, ""},
        {"404 body is not read", "HTTP/1.1 404 Not Found\r\nContent-Length: 900\r\n\r\n", 404, ""},
        {"equal lengths twice", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nq", 200, "q"},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{3}, std::size_t{1}}) {
            test::ScriptedConnection connection(c.reply, piece);
            const HttpReply reply = ReadHttpReply(connection, {std::chrono::milliseconds(100), 1 << 20});
            EXPECT_EQ(reply.status, c.status) << c.name;
            EXPECT_EQ(reply.body, c.body) << c.name << " (pieces of " << piece << ")";
        }
    }
    test::ScriptedConnection folded("HTTP/1.1 200 OK\r\nContent-Type: text/plain;\r\n\tcharset=koi8-r\r\n\r\n");
    const HttpReply reply = ReadHttpReply(folded, {std::chrono::milliseconds(100), 1 << 20});
    ASSERT_NE(reply.Header("content-type"), nullptr);
    EXPECT_EQ(*reply.Header("content-type"), "text/plain; charset=koi8-r");
}

TEST(UploadReply, StallsAndOversizedLengthsFailBeforeWaitingOrReading) {
    test::ScriptedConnection stalled("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 1 << 20, true);
    try {
        ReadHttpReply(stalled, {std::chrono::milliseconds(250), 1 << 20});
        ADD_FAILURE() << "a stalled reply was read";
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), u"The upload service stopped answering: nothing arrived for 250 ms.");
    }
    test::ScriptedConnection huge("HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\n", 1 << 20, true);
    try {
        ReadHttpReply(huge, {std::chrono::milliseconds(60'000), 1000});
        ADD_FAILURE() << "a huge length was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), u"The upload service's reply is larger than 1000 bytes.");
    }
}

TEST(UploadReplyCharset, HeaderMetaElementAndXmlDeclarationChooseTheCharset) {
    struct Case { const char* name; std::string contentType; std::string body; std::u16string text; };
    const Case cases[] = {
        {"utf-8", "text/plain; charset=utf-8", "\xD0\x9E\xD0\xBA", u"Ок"},
        {"quoted upper-case name", "text/plain;Charset=\"UTF-8\"", "\xD0\x9E", u"О"},
        {"windows-1251", "text/plain; charset=windows-1251", "\xCE\xEA", u"Ок"},
        {"koi8-r", "text/plain; charset=KOI8-R", "\xEF\xCB", u"Ок"},
        {"iso-8859-5", "text/plain; charset=iso-8859-5", "\xBE\xDA", u"Ок"},
        {"no charset: iso-8859-1", "text/plain", "\xD0\x9E", u"\u00D0\u009E"},
        {"no content type: iso-8859-1", "", "\xE9t\xE9", u"\u00E9t\u00E9"},
        {"unknown charset: iso-8859-1", "text/plain; charset=x-martian", "\xE9", u"\u00E9"},
        {"invalid utf-8 becomes U+FFFD", "text/plain; charset=utf-8", "a\xFF" "b", u"a\uFFFDb"},
        {"meta charset overrides the header", "text/html; charset=iso-8859-1",
         "<html><head><meta charset='koi8-r'></head>\xEF\xCB", u"<html><head><meta charset='koi8-r'></head>Ок"},
        {"meta http-equiv", "text/html",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\xCE\xEA",
         u"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">Ок"},
        {"meta in xhtml", "application/xhtml+xml", "<meta charset=utf-8 />\xD0\x9E", u"<meta charset=utf-8 />О"},
        {"meta ignored in plain text", "text/plain; charset=utf-8", "<meta charset=koi8-r>\xD0\x9E",
         u"<meta charset=koi8-r>О"},
        {"metadata is no meta element", "text/html", "<metadata charset=utf-8>\xD0\x9E",
         u"<metadata charset=utf-8>\u00D0\u009E"},
        {"xml declaration", "application/xml", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\xCE",
         u"<?xml version=\"1.0\" encoding=\"windows-1251\"?>О"},
        {"xml declaration overrides the header", "text/xml; charset=utf-8",
         "<?xml version='1.0' encoding='koi8-r'?>\xEF", u"<?xml version='1.0' encoding='koi8-r'?>О"},
        {"xml text type without charset: us-ascii", "text/xml", "a\xD0" "b", u"a\uFFFDb"},
        {"xml application type without charset: iso-8859-1", "application/xml", "a\xD0", u"a\u00D0"},
        {"svg is xml", "image/svg+xml", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\xD0\x9E",
         u"<?xml version=\"1.0\" encoding=\"utf-8\"?>О"},
        {"unclosed meta", "text/html", "<meta charset=\"utf-8", u"<meta charset=\"utf-8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeReplyBody(c.contentType, c.body), c.text) << c.name;
    }
}
