// Downloads through the real WinINet against a server inside the test: what
// the window shows and that it keeps working, the failures that leave files
// alone, text bodies, and the Internet check through the proxy settings.
#include "local_http_server.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "actions/downloads.h"
#include "core/setup_log.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "recording_host.h"
#include "setup_fixture.h"

namespace ek {
namespace {

using test::LocalHttpServer;
using test::RecordingHost;
using test::ScratchFolder;
using test::SetupStateTest;

std::string Payload(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 2463534242u;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return s;
}

std::string Bytes(const std::wstring& path) { return platform::ReadWholeFile(path).value_or("<missing>"); }

class Downloads : public SetupStateTest {
 protected:
  void SetUp() override {
    SetupStateTest::SetUp();
    LoadConfig(L"[Setup]\r\n");
  }
  LocalHttpServer server_;
  RecordingHost host_;
  ScratchFolder dir_{L"download"};
};

TEST_F(Downloads, TheWindowKeepsWorkingAndShowsTheDownload) {
  const std::string body = Payload(300000);
  server_.Set("/slow.bin", {200, body, 12, 120});
  host_.waitCaption = L"Please wait";
  const std::wstring target = dir_.path() + L"\\slow.bin";
  ASSERT_TRUE(DownloadFile(server_.Url("/slow.bin"), target, true));
  EXPECT_EQ(Bytes(target), body);
  // The body took about 1.4 s; messages flowed all the time.
  EXPECT_GT(host_.pumps.size(), 20u);
  EXPECT_LT(host_.LongestPumpGapMs(), 250);

  ASSERT_GE(host_.waitCaptions.size(), 3u);
  EXPECT_EQ(host_.waitCaptions.front(), L"Downloading data");
  EXPECT_EQ(host_.waitCaptions[1], L"Downloading data.");  // a dot per block
  EXPECT_EQ(host_.waitCaptions.back(), L"Please wait");
  EXPECT_EQ(host_.waitShows, (std::vector<bool>{true, false}));
  EXPECT_EQ(host_.centred, 1);
  EXPECT_EQ(host_.cursors, (std::vector<bool>{true, false}));
  EXPECT_TRUE(host_.titles.empty());
  // The agent is the program's file name; caches are bypassed.
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0], "GET /slow.bin HTTP/1.1");
  const std::string request = server_.RawRequests()[0];
  EXPECT_NE(request.find("\r\nUser-Agent: unit_tests.exe\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos) << request;
}

TEST_F(Downloads, DuringTheInstallationTheTitleSaysIt) {
  server_.Set("/a.bin", {200, "abc"});
  State().InstallRunning = true;
  ASSERT_TRUE(DownloadFile(server_.Url("/a.bin"), dir_.path() + L"\\a.bin", true));
  EXPECT_EQ(host_.titles, std::vector<std::wstring>{L"Downloading data"});
  EXPECT_TRUE(host_.waitShows.empty());
  EXPECT_EQ(host_.cursors, (std::vector<bool>{true, false}));
}

TEST_F(Downloads, SilentOrSwitchedOffShowsNothingButStillDownloads) {
  server_.Set("/a.bin", {200, "abc"});
  for (int variant = 0; variant < 3; ++variant) {
    State().Silent = variant == 0;
    LoadConfig(variant == 1 ? L"[Setup]\r\nSetupParameters=-noshowdownload\r\n" : L"[Setup]\r\n");
    const bool showProgress = variant != 2;
    const std::wstring target = dir_.path() + L"\\quiet" + std::to_wstring(variant) + L".bin";
    ASSERT_TRUE(DownloadFile(server_.Url("/a.bin"), target, showProgress)) << variant;
    EXPECT_EQ(Bytes(target), "abc");
    EXPECT_TRUE(host_.waitShows.empty()) << variant;
    EXPECT_TRUE(host_.titles.empty()) << variant;
    // The caption is reset whenever progress was asked for.
    EXPECT_EQ(host_.waitCaptions, showProgress ? std::vector<std::wstring>{L"Please wait"} : std::vector<std::wstring>{});
    host_.waitCaptions.clear();
  }
}

TEST_F(Downloads, FailuresLeaveFilesAloneAndSayWhy) {
  server_.Set("/gone", {404, "<html>gone</html>"});
  server_.Set("/broken", {500, "<html>broken</html>"});
  server_.Set("/short", {200, std::string(400, 't'), 1, 0, 1000});
  server_.Set("/file", {200, "content"});
  const std::wstring kept = dir_.path() + L"\\kept.bin";
  ASSERT_TRUE(platform::WriteWholeFile(kept, "old"));
  State().SetupLog.clear();
  EXPECT_FALSE(DownloadFile(server_.Url("/gone"), kept, true));
  EXPECT_FALSE(DownloadFile(server_.Url("/broken"), kept, true));
  EXPECT_EQ(Bytes(kept), "old");
  EXPECT_TRUE(host_.waitShows.empty());
  EXPECT_TRUE(host_.cursors.empty());

  // A short body was written as far as it came, and is a failure.
  const std::wstring cut = dir_.path() + L"\\cut.bin";
  EXPECT_FALSE(DownloadFile(server_.Url("/short"), cut, true));
  EXPECT_EQ(Bytes(cut), std::string(400, 't'));
  EXPECT_EQ(host_.waitShows, (std::vector<bool>{true, false}));
  EXPECT_EQ(host_.cursors, (std::vector<bool>{true, false}));

  // No folder: nothing is created.
  const std::wstring nowhere = dir_.path() + L"\\missing\\file.bin";
  EXPECT_FALSE(DownloadFile(server_.Url("/file"), nowhere, false));
  EXPECT_FALSE(platform::PathExists(dir_.path() + L"\\missing"));
  // Nothing listens on port 1.
  EXPECT_FALSE(DownloadFile(L"http://127.0.0.1:1/file", dir_.path() + L"\\refused.bin", false));
  EXPECT_FALSE(platform::PathExists(dir_.path() + L"\\refused.bin"));

  const std::vector<std::wstring> log = State().SetupLog;
  auto logged = [&](const std::wstring& line) { return std::find(log.begin(), log.end(), line) != log.end(); };
  EXPECT_TRUE(logged(L"Download failed: " + server_.Url("/gone")));
  EXPECT_TRUE(logged(L"Cause=The server answered with the status 404."));
  EXPECT_TRUE(logged(L"Cause=The server answered with the status 500."));
  EXPECT_TRUE(logged(L"Cause=Only 400 of 1000 bytes arrived."));
}

TEST_F(Downloads, UrlTextIsDecodedOrEmpty) {
  server_.Set("/ansi", {200, "caf\xE9\r\nline 2"});
  server_.Set("/bom", {200, "\xEF\xBB\xBF" "caf\xC3\xA9"});
  server_.Set("/empty", {200, ""});
  server_.Set("/error", {500, "<html>error page</html>"});
  server_.Set("/big", {200, Payload(5000)});
  EXPECT_EQ(FetchUrlText(server_.Url("/ansi")), platform::AnsiToWide("caf\xE9\r\nline 2"));
  EXPECT_EQ(FetchUrlText(server_.Url("/bom")), L"caf\u00e9");
  EXPECT_EQ(FetchUrlText(server_.Url("/empty")), L"");
  EXPECT_EQ(FetchUrlText(server_.Url("/error")), L"");
  EXPECT_EQ(FetchUrlText(server_.Url("/big")), platform::AnsiToWide(Payload(5000)));  // many 1 KB reads
  EXPECT_EQ(FetchUrlText(L"http://127.0.0.1:1/"), L"");
}

// The system's proxy settings, changed for a test and put back. Requests to
// this machine bypass the proxy, so other tests downloading meanwhile are
// not affected.
class ProxySettings {
 public:
  ProxySettings() {
    platform::RegKey k;
    if (k.Open(platform::RegRoot::CurrentUser, kKey, platform::RegView::View64, false))
      for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride"}) saved_.emplace_back(name, k.ReadValue(name));
  }
  ~ProxySettings() {
    platform::RegKey k;
    if (!k.Create(platform::RegRoot::CurrentUser, kKey, platform::RegView::View64)) return;
    for (const auto& [name, value] : saved_) Ignore(value ? k.WriteValue(name, *value) : k.DeleteValue(name));
  }
  void Use(const std::wstring& server) {
    platform::RegKey k;
    ASSERT_TRUE(k.Create(platform::RegRoot::CurrentUser, kKey, platform::RegView::View64));
    ASSERT_TRUE(k.WriteDword(L"ProxyEnable", 1));
    ASSERT_TRUE(k.WriteString(L"ProxyServer", server));
    ASSERT_TRUE(k.WriteString(L"ProxyOverride", L"127.0.0.1;localhost;<local>"));
  }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  std::vector<std::pair<std::wstring, std::optional<platform::RegValue>>> saved_;
};

TEST_F(Downloads, InternetCheckAsksTheProbesThroughTheProxy) {
  ProxySettings proxy;
  // A port where nothing listens: no probe answers.
  proxy.Use(L"127.0.0.1:1");
  EXPECT_FALSE(InternetAvailable());
  EXPECT_TRUE(server_.Requests().empty());

  // A proxy that answers: the first probe is enough.
  proxy.Use(L"127.0.0.1:" + std::to_wstring(server_.port()));
  EXPECT_TRUE(InternetAvailable());
  EXPECT_EQ(server_.Requests(), std::vector<std::string>{"CONNECT www.microsoft.com:443 HTTP/1.1"});

  // The first probe closes without an answer: the second one answers, but
  // in Chinese the first one is the only one.
  server_.DropConnectsTo("www.microsoft.com");
  EXPECT_TRUE(InternetAvailable());
  EXPECT_EQ(server_.Requests().back(), "CONNECT www.google.com:443 HTTP/1.1");
  const size_t asked = server_.Requests().size();
  State().LanguageName = L"Chinese";
  EXPECT_FALSE(InternetAvailable());
  EXPECT_EQ(server_.Requests().size(), asked + 1);
  // Downloads from this machine still go straight to the server.
  server_.Set("/direct", {200, "direct"});
  EXPECT_EQ(FetchUrlText(server_.Url("/direct")), L"direct");
}

}  // namespace
}  // namespace ek
