// The system's proxy settings, changed for one test and put back after it.
#pragma once

#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

// The system's proxy settings for a test, put back afterwards: WinINet asks
// the probe addresses through the proxy, so a local port decides the answer
// and no test reaches the Internet. Local addresses bypass the proxy.
class Proxy {
 public:
  Proxy() {
    for (const char* name : {"ProxyEnable", "ProxyServer", "ProxyOverride"}) {
      auto r = Probe({"reg", "HKCU", kKey, name, "64"});
      const std::string k = std::string("value[") + name + "]";
      saved_.push_back({name, r["type[" + std::string(name) + "]"], r.count(k) ? r[k] : "<missing>"});
    }
  }
  ~Proxy() {
    for (const auto& v : saved_) {
      if (v.data == "<missing>") WineOutput({"reg", "delete", Key(), "/v", v.name, "/f"});
      else WineOutput({"reg", "add", Key(), "/v", v.name, "/t", v.type == "4" ? "REG_DWORD" : "REG_SZ", "/d", v.data, "/f"});
    }
  }
  void Use(const std::string& server) {
    WineOutput({"reg", "add", Key(), "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1", "/f"});
    WineOutput({"reg", "add", Key(), "/v", "ProxyServer", "/t", "REG_SZ", "/d", server, "/f"});
    WineOutput({"reg", "add", Key(), "/v", "ProxyOverride", "/t", "REG_SZ", "/d", "127.0.0.1;localhost;<local>", "/f"});
  }

 private:
  static constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  static std::string Key() { return std::string("HKCU\\") + kKey; }
  struct Saved {
    std::string name, type, data;
  };
  std::vector<Saved> saved_;
};

}  // namespace e2e
