#include "platform/internet.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <cwchar>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/handles.h"
#include "platform/system_library.h"

namespace ek::platform {
namespace {

// WinINet is no known DLL: imported, it would be looked for beside the setup
// file first. Its functions come from the system folder at run time.
struct WinInet {
  template <typename Fn>
  static Fn Get(const char* name) {
    return SystemFunction<Fn>(L"wininet.dll", name);
  }
  decltype(&::InternetOpenW) open = Get<decltype(&::InternetOpenW)>("InternetOpenW");
  decltype(&::InternetOpenUrlW) openUrl = Get<decltype(&::InternetOpenUrlW)>("InternetOpenUrlW");
  decltype(&::InternetReadFile) read = Get<decltype(&::InternetReadFile)>("InternetReadFile");
  decltype(&::InternetQueryOptionW) queryOption = Get<decltype(&::InternetQueryOptionW)>("InternetQueryOptionW");
  decltype(&::HttpQueryInfoW) queryInfo = Get<decltype(&::HttpQueryInfoW)>("HttpQueryInfoW");
  decltype(&::InternetCloseHandle) close = Get<decltype(&::InternetCloseHandle)>("InternetCloseHandle");
  [[nodiscard]] bool Complete() const { return open && openUrl && read && queryOption && queryInfo && close; }
};

const WinInet& Inet() {
  static const WinInet functions;
  return functions;
}

struct InternetHandleTraits {
  [[nodiscard]] static HINTERNET Invalid() noexcept { return nullptr; }
  static void Close(HINTERNET h) noexcept { Inet().close(h); }
};
using UniqueInternet = UniqueResource<HINTERNET, InternetHandleTraits>;

// Always the server's copy: reload, nothing written to the cache, and
// "Pragma: no-cache" for proxies.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;

// Blocks read ahead of the waiting thread stop the reader at this size, so a
// waiting thread held up in a dialog does not make the download pile up in memory.
constexpr size_t kMaxQueuedBytes = size_t{8} << 20;

UrlAnswer ReadAnswer(HINTERNET request) {
  UrlAnswer a;
  DWORD type = 0, size = sizeof type;
  a.http = Inet().queryOption(request, INTERNET_OPTION_HANDLE_TYPE, &type, &size) &&
           type == INTERNET_HANDLE_TYPE_HTTP_REQUEST;
  if (!a.http) return a;
  DWORD status = 0;
  size = sizeof status;
  if (Inet().queryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    a.status = status;
  // As text: a length beyond 4 GB does not fit the numeric form.
  wchar_t length[32];
  size = sizeof length;
  if (Inet().queryInfo(request, HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr)) {
    wchar_t* end = nullptr;
    const unsigned long long n = std::wcstoull(length, &end, 10);
    if (end != length && *end == L'\0') a.declaredLength = n;
  }
  return a;
}

}  // namespace

struct UrlTransfer::Shared {
  std::mutex mutex;
  std::condition_variable drained;
  UniqueHandle news{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  TransferState state = TransferState::Opening;
  std::optional<UrlAnswer> answer;
  std::vector<std::string> blocks;
  size_t queuedBytes = 0;
  uint32_t error = 0;
  std::atomic<bool> abandoned{false};

  void Publish(const std::function<void()>& change) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      change();
    }
    if (news) ::SetEvent(news.get());
  }
  void Fail(uint32_t code) {
    Publish([&] {
      state = TransferState::Failed;
      error = code;
    });
  }
};

namespace {

void Run(std::shared_ptr<UrlTransfer::Shared> shared, std::wstring agent, std::wstring url, size_t blockSize) {
  if (!Inet().Complete()) return shared->Fail(ERROR_PROC_NOT_FOUND);
  UniqueInternet session(Inet().open(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return shared->Fail(::GetLastError());
  UniqueInternet request(Inet().openUrl(session.get(), url.c_str(), nullptr, 0, kRequestFlags, 0));
  if (!request) return shared->Fail(::GetLastError());
  const UrlAnswer answer = ReadAnswer(request.get());
  shared->Publish([&] {
    shared->answer = answer;
    shared->state = blockSize == 0 ? TransferState::Ended : TransferState::Reading;
  });
  if (blockSize == 0) return;
  while (!shared->abandoned) {
    std::string block(blockSize, '\0');
    DWORD got = 0;
    if (!Inet().read(request.get(), block.data(), static_cast<DWORD>(block.size()), &got))
      return shared->Fail(::GetLastError());
    if (got == 0) {
      shared->Publish([&] { shared->state = TransferState::Ended; });
      return;
    }
    block.resize(got);
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->drained.wait(lock, [&] { return shared->queuedBytes < kMaxQueuedBytes || shared->abandoned; });
    shared->queuedBytes += block.size();
    shared->blocks.push_back(std::move(block));
    lock.unlock();
    if (shared->news) ::SetEvent(shared->news.get());
  }
}

}  // namespace

UrlTransfer::UrlTransfer() : shared_(std::make_shared<Shared>()) {}

UrlTransfer::~UrlTransfer() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->abandoned = true;
  }
  shared_->drained.notify_all();
}

bool UrlTransfer::Start(const std::wstring& agent, const std::wstring& url, size_t blockSize) {
  if (!shared_->news) return false;
  try {
    // Detached: a read that a silent server keeps blocked ends with the
    // connection or the process, never holding up the window's thread.
    std::thread(Run, shared_, agent, url, blockSize).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void UrlTransfer::WaitForNews(uint32_t ms) {
  const HANDLE event = shared_->news.get();
  ::MsgWaitForMultipleObjectsEx(1, &event, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

TransferState UrlTransfer::State() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->state;
}

std::optional<UrlAnswer> UrlTransfer::Answer() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->answer;
}

std::vector<std::string> UrlTransfer::TakeBlocks() {
  std::vector<std::string> out;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    out.swap(shared_->blocks);
    shared_->queuedBytes = 0;
  }
  shared_->drained.notify_all();
  return out;
}

uint32_t UrlTransfer::Error() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->error;
}

}  // namespace ek::platform
