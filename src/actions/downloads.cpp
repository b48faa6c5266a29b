#include "actions/downloads.h"

#include <chrono>
#include <functional>

#include "actions/process_launch.h"
#include "base/text.h"
#include "config/language.h"
#include "config/utilities.h"
#include "core/failure_report.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/system.h"

namespace ek {
namespace {

constexpr size_t kFileBlock = 65536;
constexpr size_t kTextBlock = 1024;
// How often the window's messages are let through while nothing arrives.
constexpr uint32_t kPollMs = 50;

// Home pages of two sites that answer from almost everywhere; the first one
// also from China.
constexpr const wchar_t* kProbeAddresses[] = {L"https://www.microsoft.com/", L"https://www.google.com/"};

std::wstring AgentName() { return FileNamePart(platform::ModulePath()); }

// The URL as the log may show it: without a user name and password.
std::wstring UrlForLog(std::wstring_view url) {
  std::wstring out(url);
  const size_t scheme = out.find(L"://");
  if (scheme == std::wstring::npos) return out;
  const size_t host = scheme + 3;
  const size_t end = out.find_first_of(L"/?#", host);
  const size_t at = out.rfind(L'@', end == std::wstring::npos ? std::wstring::npos : end);
  if (at != std::wstring::npos && at >= host) out.erase(host, at + 1 - host);
  return out;
}

// What is wrong with an answer that should carry a body; empty when nothing.
std::wstring AnswerProblem(const platform::UrlAnswer& a) {
  if (!a.http) return {};
  if (a.status == 0) return L"The connection closed before the server answered.";
  if (a.status < 200 || a.status > 299) return L"The server answered with the status " + ToText(a.status) + L".";
  return {};
}

struct TransferHandlers {
  // The answer arrived: false stops the transfer (the handler sets the cause).
  std::function<bool(const platform::UrlAnswer&, std::wstring& cause)> answer;
  // A block of the body: false stops the transfer.
  std::function<bool(const std::string&, std::wstring& cause)> block;
};

// Runs one transfer to its end. The window's messages flow between the news;
// a server silent for kNetworkSilenceSeconds, or the program ending, fails it.
// Returns the cause of a failure, or nothing when it succeeded.
std::optional<std::wstring> RunTransfer(const std::wstring& url, size_t blockSize, const TransferHandlers& on) {
  using Clock = std::chrono::steady_clock;
  platform::UrlTransfer transfer;
  if (!transfer.Start(AgentName(), url, blockSize)) return std::wstring(L"No thread could be started for the transfer.");
  auto lastNews = Clock::now();
  std::optional<platform::UrlAnswer> answer;
  uint64_t received = 0;
  std::wstring cause;
  while (true) {
    transfer.WaitForNews(kPollMs);
    if (!host().Pump()) return std::wstring(L"The program is ending.");
    // The state first: every block sent before the end is taken below.
    const platform::TransferState state = transfer.State();
    if (!answer) {
      answer = transfer.Answer();
      if (answer) {
        lastNews = Clock::now();
        if (on.answer && !on.answer(*answer, cause)) return cause;
      }
    }
    for (const std::string& block : transfer.TakeBlocks()) {
      lastNews = Clock::now();
      received += block.size();
      if (on.block && !on.block(block, cause)) return cause;
    }
    if (state == platform::TransferState::Failed) return platform::ErrorCodeText(transfer.Error());
    if (state == platform::TransferState::Ended) {
      // A connection that closes early ends like a complete body; only the
      // declared length tells them apart.
      if (blockSize > 0 && answer && answer->declaredLength && *answer->declaredLength != received)
        return L"Only " + ToTextUnsigned(received) + L" of " + ToTextUnsigned(*answer->declaredLength) +
               L" bytes arrived.";
      return std::nullopt;
    }
    if (Clock::now() - lastNews > std::chrono::seconds(kNetworkSilenceSeconds))
      return L"The server sent nothing for " + ToText(kNetworkSilenceSeconds) + L" seconds.";
  }
}

// The window's share of a download: the wait label (or the title during the
// installation) says what happens and counts blocks, the cursor waits.
class DownloadDisplay {
 public:
  explicit DownloadDisplay(bool showProgress)
      : showProgress_(showProgress),
        visible_(showProgress && !State().Silent && !Switch(L"-noshowdownload")) {}
  DownloadDisplay(const DownloadDisplay&) = delete;
  DownloadDisplay& operator=(const DownloadDisplay&) = delete;
  ~DownloadDisplay() {
    if (!begun_) return;
    if (showProgress_ && host().WaitLabelVisible()) host().ShowWaitLabel(false);
    host().SetWaitCursor(false);
    if (showProgress_) host().SetWaitCaption(LangText(L"Messages", 38, BuiltInText(L"Messages", 38)));
  }

  void Begin() {
    begun_ = true;
    if (visible_) {
      const std::wstring text = LangText(L"Messages", 40, BuiltInText(L"Messages", 40));
      if (State().InstallRunning) {
        host().SetTitle(text);
      } else {
        host().SetWaitCaption(text);
        host().ShowWaitLabel(true);
        host().CenterWaitLabel();
      }
    }
    host().SetWaitCursor(true);
    host().Pump();
  }
  void BlockArrived() {
    if (showProgress_ && host().WaitLabelVisible()) AnimateWaitLabel(false);
  }

 private:
  bool showProgress_;
  bool visible_;
  bool begun_ = false;
};

}  // namespace

bool DownloadFile(const std::wstring& url, const std::wstring& targetFile, bool showProgress) {
  platform::File file;
  std::optional<std::wstring> failure;
  {
    DownloadDisplay display(showProgress);
    TransferHandlers on;
    on.answer = [&](const platform::UrlAnswer& a, std::wstring& cause) {
      cause = AnswerProblem(a);
      if (!cause.empty()) return false;
      if (!file.Create(ExtendedPath(targetFile))) {
        cause = L"Unable to create " + targetFile + L": " + FailureCause();
        return false;
      }
      display.Begin();
      return true;
    };
    on.block = [&](const std::string& block, std::wstring& cause) {
      if (!file.Write(block.data(), block.size())) {
        cause = L"Unable to write " + targetFile + L": " + FailureCause();
        return false;
      }
      display.BlockArrived();
      return true;
    };
    failure = RunTransfer(url, kFileBlock, on);
    file.Close();
  }
  if (failure) LogFailure(L"Download failed: " + UrlForLog(url), *failure);
  return !failure;
}

std::wstring FetchUrlText(const std::wstring& url) {
  std::string body;
  TransferHandlers on;
  on.answer = [](const platform::UrlAnswer& a, std::wstring& cause) {
    cause = AnswerProblem(a);
    return cause.empty();
  };
  on.block = [&](const std::string& block, std::wstring&) {
    body += block;
    return true;
  };
  if (const auto failure = RunTransfer(url, kTextBlock, on)) {
    LogFailure(L"Unable to read URL: " + UrlForLog(url), *failure);
    return {};
  }
  return DecodeText(body, TextEncoding::Ansi, &platform::AnsiToWide).text;
}

bool InternetAvailable() {
  // Any answer will do, an error status too; a connection that closes
  // without one is not an answer.
  auto answers = [](const wchar_t* address) {
    TransferHandlers on;
    on.answer = [](const platform::UrlAnswer& a, std::wstring&) { return !a.http || a.status != 0; };
    return !RunTransfer(address, 0, on).has_value();
  };
  if (answers(kProbeAddresses[0])) return true;
  if (EqualsNoCaseAscii(State().LanguageName, L"Chinese")) return false;
  return answers(kProbeAddresses[1]);
}

}  // namespace ek
