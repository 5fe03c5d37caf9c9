// The upload request on the wire, the Host setting it goes to, and how a
// reply text is told apart as an address or a refusal.
#include <gtest/gtest.h>

#include <string>

#include "core/Error.h"
#include "image/Jpeg.h"
#include "support/ImagePatterns.h"
#include "support/UploadTestService.h"
#include "upload/UploadErrors.h"
#include "upload/UploadExchange.h"
#include "upload/UploadRequest.h"

using namespace kadrix;

namespace {

const LocalTime kMoment{{2017, 2, 9, 15, 30, 45}, 123};

// A broken request must fail the test in seconds, not after a minute.
const UploadLimits kLimits{std::chrono::milliseconds(5000), std::chrono::milliseconds(5000), 1 << 20};

std::string SmallJpeg() { return EncodeJpeg(test::PatternedImage(24, 16, 40)); }

// The boundary named in a recorded request's Content-Type header.
std::string BoundaryOf(const std::string& request) {
    const std::string key = "boundary=";
    const auto at = request.find(key);
    return request.substr(at + key.size(), request.find("\r\n", at) - at - key.size());
}

}  // namespace

TEST(UploadRequest, BytesOnTheWireAreExactlyTheFormUpload) {
    test::UploadTestService service;
    const auto connector = MakeSocketConnector();
    const std::string jpeg = SmallJpeg();
    const UploadTarget target{"127.0.0.1", service.Port()};
    ASSERT_EQ(UploadJpeg(target, jpeg, kMoment, *connector, kLimits).kind, UploadOutcome::Kind::Address);

    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& request = requests[0];
    const std::string b = "--------020917153045123";
    const std::string expected =
        "POST /sites/kadrix/upload_screenshot.php HTTP/1.0\r\n"
        "Connection: keep-alive\r\n"
        "Content-Type: multipart/form-data; boundary=" + b + "\r\n"
        "Content-Length: " + std::to_string(jpeg.size() + 216) + "\r\n"
        "Host: 127.0.0.1:" + std::to_string(service.Port()) + "\r\n"
        "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
        "User-Agent: Mozilla/5.0 (Windows NT 5.1; rv:45.0) Gecko/20100101 Firefox/45.0\r\n"
        "\r\n"
        "--" + b + "\r\n"
        "Content-Disposition: form-data; name=\"screenshot\"; filename=\"NameScreenshot\"\r\n"
        "Content-Type: image/jpeg; charset=\"utf-8\"\r\n"
        "Content-Transfer-Encoding: binary\r\n"
        "\r\n" + jpeg + "\r\n"
        "--" + b + "--\r\n";
    EXPECT_EQ(request, expected);

    // Counted from what arrived, not from the builder's arithmetic.
    const std::string body = request.substr(request.find("\r\n\r\n") + 4);
    EXPECT_EQ(body.size(), jpeg.size() + 216);
    const auto jpegStart = body.find("\r\n\r\n") + 4;
    const auto jpegEnd = body.rfind("\r\n--" + b + "--\r\n");
    EXPECT_EQ(body.substr(jpegStart, jpegEnd - jpegStart), jpeg);
}

TEST(UploadRequest, HostHeaderCarriesThePortOnlyWhenItIsNot80) {
    struct Case { const char* host; std::uint16_t port; const char* header; };
    const Case cases[] = {
        {"uploads.example.org", 80, "Host: uploads.example.org\r\n"},
        {"uploads.example.org", 8080, "Host: uploads.example.org:8080\r\n"},
        {"::1", 80, "Host: [::1]\r\n"},
        {"2001:db8::7", 81, "Host: [2001:db8::7]:81\r\n"},
    };
    for (const auto& c : cases) {
        const std::string request = BuildUploadRequest({c.host, c.port}, "\xFF\xD8\xFF\xD9", "--------010100000000000");
        const auto at = request.find("\r\nHost: ") + 2;
        EXPECT_EQ(request.substr(at, request.find("\r\n", at) + 2 - at), c.header) << c.host;
    }
}

TEST(UploadRequest, BoundaryIsTheLocalTimeAfterEightHyphens) {
    EXPECT_EQ(MakeBoundary(kMoment), "--------020917153045123");
    EXPECT_EQ(MakeBoundary({{2005, 12, 31, 0, 0, 0}, 7}), "--------123105000000007");
    EXPECT_EQ(MakeBoundary({{2100, 1, 1, 23, 59, 59}, 999}), "--------010100235959999");
}

TEST(UploadRequest, UploadsInDifferentMillisecondsCarryDifferentBoundaries) {
    test::UploadTestService service;
    const auto connector = MakeSocketConnector();
    const UploadTarget target{"127.0.0.1", service.Port()};
    const std::string jpeg = SmallJpeg();
    LocalTime later = kMoment;
    later.millisecond += 1;
    UploadJpeg(target, jpeg, kMoment, *connector, kLimits);
    UploadJpeg(target, jpeg, later, *connector, kLimits);
    const auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(BoundaryOf(requests[0]), "--------020917153045123");
    EXPECT_EQ(BoundaryOf(requests[1]), "--------020917153045124");
    EXPECT_NE(requests[0].find("\r\n--" + BoundaryOf(requests[0]) + "--\r\n"), std::string::npos);
    EXPECT_NE(requests[1].find("\r\n--" + BoundaryOf(requests[1]) + "--\r\n"), std::string::npos);
}

TEST(UploadHostSetting, ReadsNameNamePortAndBracketedIPv6) {
    struct Case { std::u16string value; std::string host; std::uint16_t port; };
    const Case cases[] = {
        {u"uploads.example.org", "uploads.example.org", 80},
        {u"  uploads.example.org\t", "uploads.example.org", 80},
        {u"localhost:8080", "localhost", 8080},
        {u"127.0.0.1:1", "127.0.0.1", 1},
        {u"my_host-2.lan:65535", "my_host-2.lan", 65535},
        {u"[::1]", "::1", 80},
        {u"[::1]:8080", "::1", 8080},
        {u"[2001:db8::ffff:192.0.2.1]:81", "2001:db8::ffff:192.0.2.1", 81},
    };
    for (const auto& c : cases) {
        const auto target = ParseUploadHost(c.value);
        ASSERT_TRUE(target.has_value());
        EXPECT_EQ(target->host, c.host);
        EXPECT_EQ(target->port, c.port);
    }
    EXPECT_FALSE(ParseUploadHost(u"").has_value());
    EXPECT_FALSE(ParseUploadHost(u"  \t ").has_value());
}

TEST(UploadHostSetting, RejectsWhatCannotBeAnAddressWithAClearText) {
    for (const std::u16string value :
         {u"host:", u"host:0", u"host:65536", u"host:80x", u"host:+80", u":80", u"::1", u"2001:db8::1:8080",
          u"[::1", u"[::1]8080", u"[::1]:", u"[]:80", u"[host]:80", u"http://host/", u"a b", u"host/path",
          u"h\u00F6st", u"[::1]:99999"}) {
        try {
            ParseUploadHost(value);
            ADD_FAILURE() << "accepted " << std::string(value.begin(), value.end());
        } catch (const Error& e) {
            EXPECT_EQ(e.Message(), InvalidHostText(value));
            EXPECT_NE(e.Message().find(value), std::u16string::npos);
        }
    }
}

TEST(UploadReplyText, MarkerMakesARefusalAnythingElseIsTheAddressUnchanged) {
    using K = UploadOutcome::Kind;
    struct Case { std::u16string text; UploadOutcome expected; };
    const Case cases[] = {
        {u"Ошибка. Файл не JPEG", {K::Refusal, u"Файл не JPEG"}},
        {u"Ошибка.", {K::Refusal, u""}},
        {u"Ошибка. ", {K::Refusal, u""}},
        {u"Ошибка.:no space", {K::Refusal, u"no space"}},
        {u" Ошибка. leading space", {K::Address, u" Ошибка. leading space"}},
        {u"ошибка. lower case", {K::Address, u"ошибка. lower case"}},
        {u"Ошибка без точки", {K::Address, u"Ошибка без точки"}},
        {u"http://shots.example.org/a.jpg\r\n", {K::Address, u"http://shots.example.org/a.jpg\r\n"}},
        {u"  spaced  ", {K::Address, u"  spaced  "}},
        {u"", {K::Failure, u"The upload service sent an empty reply."}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyReplyText(c.text), c.expected) << std::string(c.text.begin(), c.text.end());
    }
}
