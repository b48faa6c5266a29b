// A small HTTP server inside the test process, on 127.0.0.1 and a free port.
// Each path answers with a prepared response, the body in timed pieces when
// asked; any other method (a proxy's CONNECT) gets 403, or no answer at all
// for a host on the dropped list. Every request line is kept.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ek::test {

class LocalHttpServer {
 public:
  struct Response {
    int status = 200;
    std::string body;
    int pieces = 1;
    int pieceDelayMs = 0;
    std::optional<size_t> declaredLength;  // default: the body's length
  };

  LocalHttpServer() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(listener_, 16);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    stopping_ = true;
    ::closesocket(listener_);
    thread_.join();
    ::WSACleanup();
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  void Set(const std::string& path, Response r) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(r);
  }
  void DropConnectsTo(const std::string& host) {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped_.insert(host);
  }
  std::wstring Url(const std::string& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
  }
  int port() const { return port_; }
  // The request lines, and the whole requests with their headers.
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  std::vector<std::string> RawRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return raw_;
  }

 private:
  void Serve() {
    while (!stopping_) {
      SOCKET c = ::accept(listener_, nullptr, nullptr);
      if (c == INVALID_SOCKET) break;
      // One connection at a time is enough for one client.
      Answer(c);
      ::closesocket(c);
    }
  }

  static void SendAll(SOCKET c, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const int n = ::send(c, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  void Answer(SOCKET c) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const int n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) return;
      request.append(buf, static_cast<size_t>(n));
    }
    const std::string line = request.substr(0, request.find("\r\n"));
    const size_t sp1 = line.find(' '), sp2 = line.find(' ', sp1 + 1);
    const std::string method = line.substr(0, sp1), target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    Response r;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(line);
      raw_.push_back(request);
      if (method == "CONNECT" && dropped_.count(target.substr(0, target.find(':')))) return;
      auto it = routes_.find(target);
      if (method != "GET") r = Response{403, "no tunnels here"};
      else if (it == routes_.end()) r = Response{404, "<html>not found</html>"};
      else r = it->second;
    }
    SendAll(c, "HTTP/1.1 " + std::to_string(r.status) + " Answer\r\nContent-Length: " +
                   std::to_string(r.declaredLength.value_or(r.body.size())) + "\r\nConnection: close\r\n\r\n");
    const size_t step = r.body.empty() ? 1 : (r.body.size() + static_cast<size_t>(r.pieces) - 1) / static_cast<size_t>(r.pieces);
    for (size_t at = 0; at < r.body.size(); at += step) {
      if (r.pieceDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(r.pieceDelayMs));
      SendAll(c, r.body.substr(at, step));
    }
  }

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, Response> routes_;
  std::set<std::string> dropped_;
  std::vector<std::string> requests_;
  std::vector<std::string> raw_;
};

}  // namespace ek::test
