// URLs opened and read through WinINet. The blocking calls run on a thread of
// their own, so the window's thread only waits for news between its
// messages; a server that stops answering can never freeze it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ek::platform {

// The answer to an opened URL.
struct UrlAnswer {
  bool http = false;     // an HTTP(S) request: it has a status and maybe a length
  uint32_t status = 0;   // 0: the connection ended before a status line came
  std::optional<uint64_t> declaredLength;  // Content-Length, when the server gave one
};

enum class TransferState { Opening, Reading, Ended, Failed };

// One URL: a session of its own (the given agent name, the system's proxy
// settings), a request that bypasses the cache, and the body read in blocks.
class UrlTransfer {
 public:
  UrlTransfer();
  // A transfer still running is abandoned: its thread ends on its own and
  // nothing it still reads is kept.
  ~UrlTransfer();
  UrlTransfer(const UrlTransfer&) = delete;
  UrlTransfer& operator=(const UrlTransfer&) = delete;

  // Starts opening the URL; with blockSize 0 only the answer is wanted and
  // the request is closed as soon as it is open. False when no thread could
  // be started.
  [[nodiscard]] bool Start(const std::wstring& agent, const std::wstring& url, size_t blockSize);
  // Returns when the transfer has news, a window message arrives, or `ms`
  // have passed.
  void WaitForNews(uint32_t ms);

  [[nodiscard]] TransferState State() const;
  // Known once the request is open.
  [[nodiscard]] std::optional<UrlAnswer> Answer() const;
  // The blocks read since the last call, in order.
  [[nodiscard]] std::vector<std::string> TakeBlocks();
  // The Windows error of a failed open or read.
  [[nodiscard]] uint32_t Error() const;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace ek::platform
