// The receiving service users run, started the way they start it
// (scripts/upload-service, PHP's built-in server), driven by the program's own
// upload exchange: a JPEG goes in, its address comes back, and fetching that
// address gives back the same bytes. Native only: it needs php-cli, which
// scripts/setup installs.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/Error.h"
#include "core/Utf.h"
#include "image/Jpeg.h"
#include "support/ImagePatterns.h"
#include "upload/HttpReply.h"
#include "upload/ReplyText.h"
#include "upload/UploadExchange.h"

extern char** environ;

namespace {

using namespace kadrix;
using K = UploadOutcome::Kind;
namespace fs = std::filesystem;

const LocalTime kMoment{{2024, 3, 1, 12, 0, 0}, 1};
const UploadLimits kLimits{std::chrono::milliseconds(5000), std::chrono::milliseconds(20000), 1 << 20};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A port nobody listens on right now: the system picks it for a socket that
// is closed at once.
std::uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("no free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

// scripts/upload-service on a free port, storing pictures in a folder of its own.
class UploadServiceProcess {
public:
    UploadServiceProcess() : port_(FreePort()) {
        folder_ = fs::temp_directory_path() /
                  ("kadrix-service-" + std::to_string(getpid()) + "-" + std::to_string(port_));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        log_ = folder_ / "service.log";

        const std::string script = std::string(KADRIX_SOURCE_DIR) + "/scripts/upload-service";
        const std::string port = std::to_string(port_);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            if (!std::string_view(*e).starts_with("KADRIX_SHOTS_DIR=")) env.emplace_back(*e);
        }
        env.push_back("KADRIX_SHOTS_DIR=" + Shots().string());
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(script.c_str()), const_cast<char*>(port.c_str()), nullptr};

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int rc = posix_spawn(&pid_, script.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("cannot start scripts/upload-service");
    }

    ~UploadServiceProcess() {
        // The script has exec'd php: this pid is the server itself.
        kill(pid_, SIGTERM);
        int status;
        waitpid(pid_, &status, 0);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Waits until the server accepts connections; false if it ended or took
    // longer than the bound.
    bool WaitUntilListening(Connector& connector) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) return false;
            try {
                if (connector.Connect("127.0.0.1", port_, std::chrono::milliseconds(500))) return true;
            } catch (const Error&) {
                // refused: not listening yet
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    std::uint16_t Port() const { return port_; }
    fs::path Shots() const { return folder_ / "shots"; }
    std::string Log() const { return ReadFile(log_); }

private:
    std::uint16_t port_;
    fs::path folder_;
    fs::path log_;
    pid_t pid_ = -1;
};

class UploadService : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service_.WaitUntilListening(*connector_)) << service_.Log(); }

    UploadOutcome Upload(std::string_view bytes) {
        return UploadJpeg({"127.0.0.1", service_.Port()}, bytes, kMoment, *connector_, kLimits);
    }

    // GETs an address the service returned; the raw bytes of a 200 body.
    std::string Fetch(const std::u16string& address) {
        const std::regex form(R"(http://127\.0\.0\.1:(\d+)(/sites/kadrix/shots/[0-9a-f]{32}\.jpg))");
        std::smatch match;
        const std::string url = Utf16ToUtf8(address);
        if (!std::regex_match(url, match, form)) {
            ADD_FAILURE() << "unexpected address " << url;
            return {};
        }
        const auto connection = connector_->Connect("127.0.0.1", service_.Port(), std::chrono::seconds(5));
        EXPECT_EQ(match[1].str(), std::to_string(service_.Port()));
        connection->Send("GET " + match[2].str() + " HTTP/1.0\r\nHost: " + match[1].str() + "\r\n\r\n",
                         std::chrono::seconds(5));
        const HttpReply reply = ReadHttpReply(*connection, {std::chrono::seconds(20), 64u << 20});
        EXPECT_EQ(reply.status, 200) << reply.statusLine;
        return reply.body;
    }

    std::vector<fs::path> StoredPictures() const {
        std::vector<fs::path> found;
        if (!fs::exists(service_.Shots())) return found;
        for (const auto& entry : fs::directory_iterator(service_.Shots())) {
            if (entry.path().extension() == ".jpg") found.push_back(entry.path());
        }
        return found;
    }

    std::unique_ptr<Connector> connector_ = MakeSocketConnector();
    UploadServiceProcess service_;
};

TEST_F(UploadService, PrintsTheSettingsLinesForItsPort) {
    const std::string log = service_.Log();
    EXPECT_NE(log.find("\n[Upload]\nHost=127.0.0.1:" + std::to_string(service_.Port()) + "\n"), std::string::npos)
        << log;
}

TEST_F(UploadService, JpegComesBackByteForByteFromTheReturnedAddress) {
    const std::string jpeg = EncodeJpeg(test::PatternedImage(320, 200, 30));
    const UploadOutcome outcome = Upload(jpeg);
    ASSERT_EQ(outcome.kind, K::Address) << Utf16ToUtf8(outcome.text);
    EXPECT_EQ(Fetch(outcome.text), jpeg);
    const auto stored = StoredPictures();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(ReadFile(stored[0]), jpeg);
}

TEST_F(UploadService, LargeScreenshotsAndRepeatedUploadsGetTheirOwnAddresses) {
    // Quality 100 on a 4K screen gives JPEGs of several MB, over PHP's default limits.
    std::string big = "\xFF\xD8\xFF\xE0";
    std::uint32_t state = 7;
    while (big.size() < (5u << 20)) big += static_cast<char>(test::NextNoise(state));
    const UploadOutcome first = Upload(big);
    const UploadOutcome second = Upload(big);
    ASSERT_EQ(first.kind, K::Address) << Utf16ToUtf8(first.text);
    ASSERT_EQ(second.kind, K::Address) << Utf16ToUtf8(second.text);
    EXPECT_NE(first.text, second.text);
    EXPECT_EQ(Fetch(first.text), big);
    EXPECT_EQ(Fetch(second.text), big);
}

TEST_F(UploadService, AnythingButAJpegInTheScreenshotFieldIsRefused) {
    const UploadOutcome gif = Upload("GIF89a\x01\x00\x01\x00");
    EXPECT_EQ(gif, (UploadOutcome{K::Refusal, u"The file is not a JPEG picture."}));

    // The same request with another field name, sent as it is.
    const std::string jpeg = EncodeJpeg(test::PatternedImage(16, 16, 0));
    std::string request = BuildUploadRequest({"127.0.0.1", service_.Port()}, jpeg, MakeBoundary(kMoment));
    request.replace(request.find("name=\"screenshot\""), 17, "name=\"screenshoX\"");
    const auto connection = connector_->Connect("127.0.0.1", service_.Port(), std::chrono::seconds(5));
    ASSERT_TRUE(connection->Send(request, std::chrono::seconds(5)));
    const HttpReply reply = ReadHttpReply(*connection, {std::chrono::seconds(20), 1 << 20});
    const std::string* type = reply.Header("Content-Type");
    ASSERT_NE(type, nullptr);
    const std::u16string text = DecodeReplyBody(*type, reply.body);
    EXPECT_TRUE(text.starts_with(kRefusalMarker)) << Utf16ToUtf8(text);

    EXPECT_TRUE(StoredPictures().empty());
}

}  // namespace
