// Uploads as a user meets them: Enter on a selection with uploading on, the
// service's answer on the clipboard and in a message box, failures in a box
// that names them, and an Exit that never waits for a silent service.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "core/Utf.h"
#include "e2e/E2e.h"
#include "support/UploadTestService.h"
#include "upload/Connection.h"
#include "upload/HttpReply.h"

using namespace e2e;
using kadrix::test::UploadTestService;
namespace answers = kadrix::test::answers;

namespace {

std::wstring Wide(std::string_view utf8) {
    const std::u16string text = kadrix::Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

struct UploadFixture : testing::Test {
    std::unique_ptr<Kadrix> program = std::make_unique<Kadrix>();
    Kadrix& K() { return *program; }
    std::wstring shots = K().Dir() + L"shots\\";

    void Start(const std::string& uploadSection) {
        CreateDirectoryW(shots.c_str(), nullptr);
        PutTextOnClipboard(L"before");
        K().WriteSettings("[Main]\r\nShowHint=0\r\n[Screenshot]\r\nSavePath=" + std::string(shots.begin(), shots.end()) +
                        "\r\nSaveInFile=1\r\nUploadOnServer=1\r\nFormatSaveInFile=0\r\n" + uploadSection);
        K().StartAndWaitReady();
    }

    void Capture(int shift = 0) { SelectAndEnter(K().MainWindow(), shift); }

    std::vector<MessageBoxInfo> WaitForBoxes(size_t count) {
        std::vector<MessageBoxInfo> boxes;
        WaitFor([&] { return (boxes = MessageBoxes(K().Pid())).size() >= count; }, 20s);
        return boxes;
    }

    void CloseBoxes() {
        for (const auto& box : MessageBoxes(K().Pid())) PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return MessageBoxes(K().Pid()).empty(); }));
    }

    std::string SavedFile() {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((shots + L"*.jpg").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return {};
        FindClose(h);
        return ReadFile(shots + found.cFileName);
    }

    // The tray menu's "copy last address".
    void CopyLastAddress() {
        HWND menu = OpenTrayMenu();
        ASSERT_NE(menu, nullptr);
        ClickMenuRow(menu, "i-ii-iii", 2);
        ASSERT_TRUE(WaitFor([] { return OpenMenus() == 2; })) << "the submenu did not open";
        ClickMenuRow(NewestMenu(), "ii", 0);
        ASSERT_TRUE(WaitFor([] { return OpenMenus() == 0; }));
    }
};

// The JPEG of a recorded request: the one part's content.
std::string PostedJpeg(const std::string& request) {
    const size_t start = request.find("\xFF\xD8");
    const size_t end = request.rfind("\r\n--");
    return start == std::string::npos || end == std::string::npos || end < start ? std::string()
                                                                                  : request.substr(start, end - start);
}

}  // namespace

TEST_F(UploadFixture, EnterUploadsTheSavedJpegAndTheAddressGoesToTheClipboard) {
    UploadTestService service;
    service.Answer(answers::Address("http://127.0.0.1/shots/first.jpg"));
    Start("[Upload]\r\nHost=127.0.0.1:" + std::to_string(service.Port()) + "\r\n");
    Capture();
    ASSERT_TRUE(service.WaitForRequests(1, 20s));
    const auto boxes = WaitForBoxes(1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ClipboardText(), L"http://127.0.0.1/shots/first.jpg");
    const std::string saved = SavedFile();
    ASSERT_FALSE(saved.empty());
    EXPECT_TRUE(PostedJpeg(service.Requests()[0]) == saved) << "the service got other bytes than the file holds";
    EXPECT_NE(service.Requests()[0].find("Content-Length: " + std::to_string(saved.size() + 216) + "\r\n"),
              std::string::npos);
    CloseBoxes();

    // Copy last address puts it there again.
    PutTextOnClipboard(L"something else");
    CopyLastAddress();
    EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"http://127.0.0.1/shots/first.jpg"; }));
}

TEST_F(UploadFixture, FailuresAreShownAndLeaveTheClipboardAlone) {
    UploadTestService service;
    service.Answer(answers::RefusalUtf8("Файл не принят"));
    struct Case {
        const char* name;
        std::string upload;
        std::wstring inTheBox;
    };
    const Case cases[] = {
        {"refusal", "[Upload]\r\nHost=127.0.0.1:" + std::to_string(service.Port()) + "\r\n", L"Файл не принят"},
        {"refused connection", "[Upload]\r\nHost=127.0.0.1:1\r\n", L"Socket Error # 10061"},
        {"no host", "", L"Host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case its own program and settings.
        program = std::make_unique<Kadrix>();
        shots = K().Dir() + L"shots\\";
        Start(c.upload);
        Capture();
        const auto boxes = WaitForBoxes(1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find(c.inTheBox), std::wstring::npos) << Narrow(boxes[0].text);
        EXPECT_EQ(boxes[0].text.find(L"Ошибка."), std::wstring::npos) << "the marker is not shown";
        CloseBoxes();
        EXPECT_EQ(ClipboardText(), L"before");
        // No address was stored: copy last address says there is none.
        CopyLastAddress();
        EXPECT_EQ(WaitForBoxes(1).size(), 1u);
        CloseBoxes();
        EXPECT_EQ(ClipboardText(), L"before");
    }
}

TEST_F(UploadFixture, TwoUploadsSideBySideLeaveTheLaterAddress) {
    UploadTestService service;
    service.Answer(answers::Address("http://127.0.0.1/shots/first.jpg"));
    Start("[Upload]\r\nHost=127.0.0.1:" + std::to_string(service.Port()) + "\r\n");
    Capture();
    ASSERT_TRUE(service.WaitForRequests(1, 20s));
    service.Answer(answers::Address("http://127.0.0.1/shots/second.jpg"));
    Capture(20);  // while the first success box is still up
    ASSERT_TRUE(service.WaitForRequests(2, 20s));
    EXPECT_EQ(WaitForBoxes(2).size(), 2u);
    EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"http://127.0.0.1/shots/second.jpg"; }));
    CloseBoxes();
}

TEST_F(UploadFixture, ASilentServiceBlocksNeitherCapturesNorExit) {
    UploadTestService service;
    service.Answer(answers::Silent());
    Start("[Upload]\r\nHost=127.0.0.1:" + std::to_string(service.Port()) + "\r\n");
    Capture();
    ASSERT_TRUE(service.WaitForRequests(1, 20s));
    // The first upload waits for ever; a new capture still opens and completes.
    Capture(20);
    ASSERT_TRUE(service.WaitForRequests(2, 20s));
    HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    ClickMenuRow(menu, "i-ii-iii", 7);  // Exit
    // The worker would wait a minute for the silent service; the program must not.
    EXPECT_TRUE(K().WaitExit(5s).has_value()) << "Kadrix still runs";
}

// Against the receiving service users run: scripts/test serves service/ with
// php -S and says where in KADRIX_UPLOAD_SERVICE.
TEST_F(UploadFixture, TheReceivingServiceGivesBackTheSavedFile) {
    const char* where = std::getenv("KADRIX_UPLOAD_SERVICE");
    if (!where || !*where) GTEST_SKIP() << "KADRIX_UPLOAD_SERVICE is not set";
    const std::string host = where;
    Start("[Upload]\r\nHost=" + host + "\r\n");
    Capture();
    ASSERT_EQ(WaitForBoxes(1).size(), 1u);
    const std::wstring address = ClipboardText();
    ASSERT_EQ(address.rfind(L"http://" + Wide(host) + L"/", 0), 0u) << Narrow(address);
    CloseBoxes();

    // Fetch the picture back from the address.
    const std::string path = Narrow(address.substr(7 + host.size()));
    const size_t colon = host.rfind(':');
    auto connector = kadrix::MakeSocketConnector();
    auto connection = connector->Connect(host.substr(0, colon), static_cast<uint16_t>(std::stoi(host.substr(colon + 1))),
                                         std::chrono::seconds(10));
    ASSERT_NE(connection, nullptr);
    ASSERT_TRUE(connection->Send("GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n",
                                 std::chrono::seconds(10)));
    const kadrix::HttpReply reply = kadrix::ReadHttpReply(*connection, {std::chrono::seconds(10), 64u << 20});
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.body == SavedFile()) << "the service gave back other bytes";
}
