#include "harness.h"

#include "base/text.h"

#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <utility>

extern char** environ;

namespace fs = std::filesystem;

namespace e2e {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::mt19937_64& Rng() {
  static std::mt19937_64 rng(std::random_device{}() ^ static_cast<uint64_t>(::getpid()));
  return rng;
}

std::string Hex(uint64_t v, int digits) {
  static const char* h = "0123456789ABCDEF";
  std::string s;
  for (int i = digits - 1; i >= 0; --i) s.push_back(h[(v >> (i * 4)) & 0xF]);
  return s;
}

std::vector<std::string> BaseEnvironment(const std::vector<std::pair<std::string, std::string>>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string kv = *e;
    if (kv.rfind("WINEPREFIX=", 0) == 0 || kv.rfind("WINEDEBUG=", 0) == 0) continue;
    env.push_back(kv);
  }
  env.push_back("WINEPREFIX=" + Prefix());
  env.push_back("WINEDEBUG=-all");
  env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
  for (const auto& [k, v] : extra) env.push_back(k + "=" + v);
  return env;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int outFd) {
  std::vector<char*> a, e;
  for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
  a.push_back(nullptr);
  for (const auto& s : env) e.push_back(const_cast<char*>(s.c_str()));
  e.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  int devnull = ::open("/dev/null", O_RDWR);
  posix_spawn_file_actions_adddup2(&fa, devnull, 0);
  posix_spawn_file_actions_adddup2(&fa, outFd >= 0 ? outFd : devnull, 1);
  posix_spawn_file_actions_adddup2(&fa, devnull, 2);
  pid_t pid = -1;
  if (posix_spawnp(&pid, a[0], &fa, nullptr, a.data(), e.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  ::close(devnull);
  return pid;
}

// The high-water mark of the process's resident memory, in KB.
long PeakOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

// Waits for the process; kills it after the timeout.
int WaitFor(pid_t pid, int timeoutSec, bool* timedOut, long* peakKb = nullptr) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
  int status = 0;
  while (true) {
    if (peakKb) *peakKb = std::max(*peakKb, PeakOf(pid));
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (std::chrono::steady_clock::now() > end) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      if (timedOut) *timedOut = true;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The output goes through a file, not a pipe: the first Wine program of a
// session starts Wine's services, which inherit its output and outlive it
// under a persistent wineserver, so a pipe would never reach its end.
std::string Capture(const std::vector<std::string>& argv, int* exitCode) {
  char name[] = "/tmp/ek-capture-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) return "";
  ::unlink(name);
  pid_t pid = Spawn(argv, BaseEnvironment({}), fd);
  int code = pid > 0 ? WaitFor(pid, 120, nullptr) : -1;
  std::string out;
  char buf[4096];
  ssize_t n;
  ::lseek(fd, 0, SEEK_SET);
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  ::close(fd);
  if (exitCode) *exitCode = code;
  return out;
}

std::string StripBom(std::string s) {
  if (s.size() >= 3 && static_cast<unsigned char>(s[0]) == 0xEF && static_cast<unsigned char>(s[1]) == 0xBB &&
      static_cast<unsigned char>(s[2]) == 0xBF)
    s.erase(0, 3);
  return s;
}

std::string TrimCopy(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

}  // namespace

std::string BuildDir() {
  std::string b = Env("EK_BUILD_DIR");
  if (!b.empty()) return b;
  return fs::canonical("/proc/self/exe").parent_path().parent_path().string();
}
std::string SourceDir() {
  std::string s = Env("EK_SOURCE_DIR");
  if (!s.empty()) return s;
  return fs::path(BuildDir()).parent_path().string();
}
std::string Prefix() {
  std::string p = Env("WINEPREFIX");
  return p.empty() ? BuildDir() + "/wineprefix" : p;
}
std::string EnginePath() { return BuildDir() + "/bin/Setup.exe"; }
std::string UninstallerPath() { return BuildDir() + "/bin/Uninstall.exe"; }
std::string ProbePath() { return BuildDir() + "/bin/ekprobe.exe"; }
std::string UiDriverPath() { return BuildDir() + "/bin/ekui.exe"; }

int StartWine(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env) {
  std::vector<std::string> argv = {"wine"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Spawn(argv, BaseEnvironment(env), -1);
}

int WaitProcess(int pid, int timeoutSec, bool* timedOut) { return WaitFor(pid, timeoutSec, timedOut); }

bool StillRunning(int pid, int* exitCode) {
  int status = 0;
  const pid_t r = ::waitpid(pid, &status, WNOHANG);
  if (r == 0) return true;
  if (exitCode) *exitCode = r == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return false;
}

std::string WineUser() {
  static std::string user = [] {
    std::string u = Env("USER");
    if (u.empty() || !fs::exists(Prefix() + "/drive_c/users/" + u)) {
      for (const auto& e : fs::directory_iterator(Prefix() + "/drive_c/users")) {
        std::string n = e.path().filename().string();
        if (n != "Public" && n != "Default") return n;
      }
    }
    return u;
  }();
  return user;
}
std::string TempWin() { return "C:\\users\\" + WineUser() + "\\Temp"; }
std::string TempUnix() { return UnixPath(TempWin()); }

std::string UnixPath(const std::string& w) {
  std::string p = w;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.size() >= 2 && p[1] == ':') {
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(p[0])));
    if (drive == 'z') return p.substr(2);
    return Prefix() + "/drive_" + std::string(1, drive) + p.substr(2);
  }
  return p;
}

std::string WinPath(const std::string& u) {
  std::string p = "Z:" + u;
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

bool Exists(const std::string& p) { return fs::exists(fs::path(p)); }
bool IsDir(const std::string& p) { return fs::is_directory(fs::path(p)); }
std::string ReadFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
void WriteFile(const std::string& p, const std::string& bytes) {
  fs::create_directories(fs::path(p).parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
void RemoveAll(const std::string& p) {
  std::error_code ec;
  // Read-only files of an installation are removable on Linux anyway.
  fs::remove_all(p, ec);
}
std::vector<std::string> ListDir(const std::string& p) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(p, ec)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

std::string UniqueFont(const std::string& face) {
  std::string bytes = ReadFile("/usr/share/wine/fonts/webdings.ttf");
  auto wide = [](const std::string& s) {
    std::string w;
    for (char c : s) w += std::string(1, '\0') + c;
    return w;
  };
  for (const auto& [from, to] : {std::pair{std::string("Webdings"), face}, std::pair{wide("Webdings"), wide(face)}})
    for (size_t p = bytes.find(from); p != std::string::npos; p = bytes.find(from, p + 1)) bytes.replace(p, from.size(), to);
  return bytes;
}

namespace {
std::vector<std::string>& ProductFolders() {
  static std::vector<std::string> folders;
  return folders;
}
}  // namespace

std::vector<std::string> TakeProductFolders() { return std::exchange(ProductFolders(), {}); }

Product::Product(const std::string& name) : name_(name) {
  static std::atomic<int> counter{0};
  const uint64_t r = Rng()();
  dir_ = BuildDir() + "/e2e-work/" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  ProductFolders().push_back(dir_);
  RemoveAll(dir_);
  fs::create_directories(dir_ + "/config");
  const uint64_t r2 = Rng()();
  guid_ = "{" + Hex(r >> 32, 8) + "-" + Hex(r >> 16, 4) + "-" + Hex(r, 4) + "-" + Hex(r2 >> 48, 4) + "-" +
          Hex(r2, 12) + "}";
  installDir_ = "C:\\Program Files\\EkTest " + name + " " + Hex(r, 6);
  RemoveAll(installDirUnix());
}

std::string Product::StandardSetup() {
  return "[Setup]\r\n"
         "AppName=EkTest {NAME}\r\n"
         "AppVersion=1.0.0\r\n"
         "Publisher=Ek Test Ltd\r\n"
         "WebSite=https://example.com/ektest\r\n"
         "GUID={GUID}\r\n"
         "InstallDir={INSTALLDIR}\r\n"
         "Language=English\r\n"
         "InstallLevel=1\r\n"
         "Windows 7=1\r\nWindows 8=1\r\nWindows 8.1=1\r\nWindows 10=1\r\nWindows 11=1\r\n"
         "Windows Server 2016=1\r\nWindows Server 2019=1\r\nWindows Server 2022=1\r\nWindows Server 2008 R2=1\r\n";
}

void Product::SetIni(const std::string& text) {
  std::string t = text;
  auto replace = [&](const std::string& from, const std::string& to) {
    size_t p = 0;
    while ((p = t.find(from, p)) != std::string::npos) {
      t.replace(p, from.size(), to);
      p += to.size();
    }
  };
  replace("{GUID}", guid_);
  replace("{INSTALLDIR}", installDir_);
  replace("{NAME}", name_);
  WriteFile(dir_ + "/config/eksetup.ini", t);
}

void Product::AddEnglish() {
  WriteFile(dir_ + "/config/Englishek.lng", ReadFile(SourceDir() + "/examples/demo/config/Englishek.lng"));
}

void Product::AddConfigFile(const std::string& name, const std::string& bytes) {
  WriteFile(dir_ + "/config/" + name, bytes);
}

void Product::AddPayload(const std::string& relSource, const std::string& bytes) { WriteFile(dir_ + "/" + relSource, bytes); }

void Product::AddRecord(const std::string& line) { records_ += line + "\n"; }

std::string Product::Build(const std::string& fileName) {
  if (!Exists(dir_ + "/config/eksetup.ini")) SetIni(StandardSetup());
  WriteFile(dir_ + "/files.lst", records_);
  ekbuild::BuildOptions o = tweak;
  o.engine = EnginePath();
  if (withUninstaller && o.uninstaller.empty()) o.uninstaller = UninstallerPath();
  o.output = dir_ + "/out/" + fileName;
  fs::create_directories(dir_ + "/out");
  std::string error;
  if (!ekbuild::LoadProductFolder(dir_, o, error) || !ekbuild::BuildPackage(o, error)) return "BUILD FAILED: " + error;
  return o.output;
}

namespace {
double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Ends the box answerer and the probe beside the program and collects what
// they wrote.
void StopHelpers(StartedRun& run, RunResult* result) {
  if (run.watcher > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(run.watcher, SIGKILL);
    ::waitpid(run.watcher, nullptr, 0);
    run.watcher = -1;
  }
  if (run.beside > 0) {
    ::kill(run.beside, SIGKILL);
    ::waitpid(run.beside, nullptr, 0);
    run.beside = -1;
    std::istringstream lines(ReadFile(run.besideLog));
    std::string l;
    while (std::getline(lines, l))
      if (!l.empty() && result) result->alongside.push_back(l);
    RemoveAll(run.besideLog);
  }
  std::istringstream in(ReadFile(run.dialogLog));
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && result) result->dialogs.push_back(line);
  RemoveAll(run.dialogLog);
}
}  // namespace

StartedRun StartWine(const std::string& exe, const RunOptions& options) {
  StartedRun run;
  const std::string logName = "dialogs-" + std::to_string(::getpid()) + "-" + Hex(Rng()(), 8) + ".txt";
  run.dialogLog = BuildDir() + "/e2e-work/" + logName;
  run.timeoutSec = options.timeoutSec;
  fs::create_directories(BuildDir() + "/e2e-work");
  std::vector<std::string> watcher = {"wine", ProbePath(), "dialogs", std::to_string(options.timeoutSec + 5),
                                      WinPath(run.dialogLog), options.answer + (options.pressInstall ? "+press" : "")};
  if (options.watchDialogs) run.watcher = Spawn(watcher, BaseEnvironment({}), -1);
  if (!options.alongside.empty()) {
    run.besideLog = BuildDir() + "/e2e-work/beside-" + std::to_string(::getpid()) + "-" + Hex(Rng()(), 8) + ".txt";
    std::vector<std::string> probe = {"wine", ProbePath()};
    probe.insert(probe.end(), options.alongside.begin(), options.alongside.end());
    const int fd = ::open(run.besideLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    run.beside = Spawn(probe, BaseEnvironment({}), fd);
    if (fd >= 0) ::close(fd);
  }
  std::vector<std::string> argv = {"wine", exe};
  argv.insert(argv.end(), options.args.begin(), options.args.end());
  run.started = SteadySeconds();
  run.pid = Spawn(argv, BaseEnvironment(options.env), -1);
  return run;
}

RunResult WaitWine(StartedRun& run) {
  RunResult result;
  result.exitCode = run.pid > 0 ? WaitFor(run.pid, run.timeoutSec, &result.timedOut, &result.peakKb) : -1;
  run.pid = -1;
  result.seconds = SteadySeconds() - run.started;
  StopHelpers(run, &result);
  return result;
}

void KillWine(StartedRun& run) {
  if (run.pid > 0) {
    ::kill(run.pid, SIGKILL);
    ::waitpid(run.pid, nullptr, 0);
    run.pid = -1;
  }
  StopHelpers(run, nullptr);
  // The server closes the handles of the dead process before the next
  // program can look at its files.
  std::vector<std::string> sync = {"wine", "cmd.exe", "/c", "exit", "0"};
  const pid_t p = Spawn(sync, BaseEnvironment({}), -1);
  if (p > 0) WaitFor(p, 60, nullptr);
}

RunResult RunWine(const std::string& exe, const RunOptions& options) {
  StartedRun run = StartWine(exe, options);
  return WaitWine(run);
}

RunResult RunSetup(const std::string& package, const RunOptions& options) { return RunWine(package, options); }

Background::Background(const std::string& exe, const std::vector<std::string>& args,
                       const std::vector<std::pair<std::string, std::string>>& env) {
  std::vector<std::string> argv = {"wine", exe};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = Spawn(argv, BaseEnvironment(env), -1);
}

Background::~Background() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

bool Background::EndsWithin(int seconds) {
  if (pid_ <= 0) return true;
  bool timedOut = false;
  WaitFor(pid_, seconds, &timedOut);  // kills it after the time
  pid_ = -1;
  return !timedOut;
}

std::unique_ptr<Background> StartRunningProgram(const std::string& exeUnixPath, const std::string& logDirUnix) {
  WriteFile(exeUnixPath, ReadFile(BuildDir() + "/bin/argdump.exe"));
  const std::string log = logDirUnix + "/argdump.log";
  RemoveAll(log);
  auto b = std::make_unique<Background>(
      exeUnixPath, std::vector<std::string>{},
      std::vector<std::pair<std::string, std::string>>{{"EK_ARGDUMP_DIR", WinPath(logDirUnix)},
                                                       {"EK_ARGDUMP_SLEEP", "90000"}});
  for (int i = 0; i < 300; ++i) {
    if (ReadFile(log).find('\n') != std::string::npos) return b;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return nullptr;
}

HttpServer::HttpServer() {
  static std::atomic<int> counter{0};
  root_ = BuildDir() + "/e2e-work/http-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  RemoveAll(root_);
  fs::create_directories(root_ + "/files");
  const std::string portFile = root_ + "/port";
  const pid_t pid = Spawn({"python3", SourceDir() + "/tests/e2e/http_server.py", root_, portFile}, BaseEnvironment({}), -1);
  if (pid <= 0) return;
  pid_ = pid;
  for (int i = 0; i < 200 && !Exists(portFile); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  port_ = std::atoi(ReadFile(portFile).c_str());
}

HttpServer::~HttpServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  RemoveAll(root_);
}

std::string HttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

void HttpServer::AddFile(const std::string& name, const std::string& bytes) { WriteFile(root_ + "/files/" + name, bytes); }

std::vector<std::string> HttpServer::Requests() const {
  std::vector<std::string> out;
  std::istringstream in(ReadFile(root_ + "/requests.log"));
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) out.push_back(line);
  return out;
}

std::string ReadSetupLog() {
  const std::string p = TempUnix() + "/EKSETUPLOG.TXT";
  if (!Exists(p)) return "";
  return StripBom(ReadFile(p));
}

void ClearSetupLog() { RemoveAll(TempUnix() + "/EKSETUPLOG.TXT"); }

std::vector<std::string> LogLines() {
  std::vector<std::string> out;
  std::istringstream in(ReadSetupLog());
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

bool LogHasLine(const std::string& line) {
  for (const auto& l : LogLines())
    if (l == line) return true;
  return false;
}

bool LogHasLineStartingWith(const std::string& prefix) {
  for (const auto& l : LogLines())
    if (l.rfind(prefix, 0) == 0) return true;
  return false;
}

std::vector<std::string> EktmpFolders() {
  std::vector<std::string> out;
  for (const auto& n : ListDir(TempUnix()))
    if (n.rfind("EKTMP", 0) == 0) out.push_back(n);
  return out;
}

std::map<std::string, std::string> Probe(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"wine", ProbePath()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::map<std::string, std::string> out;
  // Every verb of the probe prints at least one line: no output means that
  // Wine did not start it (seen once under a full load), so it runs again.
  int code = 0;
  std::string text = Capture(argv, &code);
  for (int attempt = 1; text.empty() && attempt < 3; ++attempt) {
    std::fprintf(stderr, "probe printed nothing (exit code %d), running it again\n", code);
    text = Capture(argv, &code);
  }
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    if (out.count(key)) key += "#" + std::to_string(out.size());
    out[key] = line.substr(eq + 1);
  }
  return out;
}

std::string RegValue(const std::string& root, const std::string& key, const std::string& value, bool view32) {
  auto r = Probe({"reg", root, key, value.empty() ? "@" : value, view32 ? "32" : "64"});
  if (r["exists"] != "1") return "<nokey>";
  const std::string k = "value[" + value + "]";
  return r.count(k) ? r[k] : "<missing>";
}

bool RegKeyExists(const std::string& root, const std::string& key, bool view32) {
  return Probe({"regkey", root, key, view32 ? "32" : "64"})["exists"] == "1";
}

std::string WineOutput(const std::vector<std::string>& args, int* exitCode) {
  std::vector<std::string> argv = {"wine"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Capture(argv, exitCode);
}

namespace {

// Calls back for every key line with its section, in file order. A plain
// reader of its own, so that the tests do not check the engine's INI files
// with the engine's parser.
template <typename F>
void ForEachIniLine(const std::string& p, F f) {
  std::istringstream in(StripBom(ReadFile(p)));
  std::string line, section;
  while (std::getline(in, line)) {
    line = TrimCopy(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      f(section, nullptr, nullptr);
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = TrimCopy(line.substr(0, eq)), value = TrimCopy(line.substr(eq + 1));
    f(section, &key, &value);
  }
}

}  // namespace

Ini ReadIni(const std::string& p) {
  Ini ini;
  ForEachIniLine(p, [&](const std::string& section, const std::string* key, const std::string* value) {
    if (key) ini[section][*key] = *value;
    else ini[section];
  });
  return ini;
}

std::vector<std::pair<std::string, std::string>> IniSection(const std::string& p, const std::string& wanted) {
  std::vector<std::pair<std::string, std::string>> out;
  ForEachIniLine(p, [&](const std::string& section, const std::string* key, const std::string* value) {
    if (key && Lower(section) == Lower(wanted)) out.emplace_back(*key, *value);
  });
  return out;
}

namespace {

// reg.exe exports are UTF-16 with a byte-order mark.
std::string Utf16ToUtf8(const std::string& bytes) {
  return ek::WideToUtf8(ek::DecodeText(bytes, ek::TextEncoding::Utf8).text);
}

// Places that change by themselves: temporary files, Wine's caches and
// bookkeeping, and the counters the shell keeps.
bool VolatilePath(const std::string& rel) {
  const std::string l = Lower(rel);
  const std::string user = "users/" + Lower(WineUser());
  for (const std::string& p : {user + "/temp", user + "/appdata/local/temp", std::string("windows/temp"),
                               user + "/appdata/local/microsoft/windows/inetcache", std::string("windows/logs"),
                               user + "/appdata/roaming/microsoft/windows/recent"})
    if (l == p || l.rfind(p + "/", 0) == 0) return true;
  return false;
}

bool VolatileKey(const std::string& key) {
  const std::string l = Lower(key);
  for (const char* p : {"hkey_current_user\\software\\wine", "hkey_local_machine\\software\\wine",
                        "hkey_current_user\\software\\microsoft\\windows\\currentversion\\explorer",
                        "hkey_local_machine\\software\\microsoft\\windows nt\\currentversion\\perflib",
                        "hkey_local_machine\\software\\microsoft\\cryptography\\rng"})
    if (l.rfind(p, 0) == 0) return true;
  return false;
}

void ExportRegistry(const std::string& key, std::map<std::string, std::string>& into) {
  const std::string file = BuildDir() + "/e2e-work/export-" + std::to_string(::getpid()) + ".reg";
  RemoveAll(file);
  int code = 0;
  WineOutput({"reg", "export", key, WinPath(file), "/y"}, &code);
  std::istringstream in(Utf16ToUtf8(ReadFile(file)));
  RemoveAll(file);
  std::string line, current, pending;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Long hexadecimal data goes on over several lines ending in a backslash.
    if (!pending.empty() || (!line.empty() && line.back() == '\\' && line.front() != '[')) {
      pending += TrimCopy(line);
      if (!pending.empty() && pending.back() == '\\') {
        pending.pop_back();
        continue;
      }
      line = pending;
      pending.clear();
    }
    if (line.empty() || line.rfind("Windows Registry Editor", 0) == 0) continue;
    if (line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      if (!VolatileKey(current)) into["[" + current + "]"] = "";
      continue;
    }
    if (current.empty() || VolatileKey(current)) continue;
    // "name"=data or @=data; a name may hold an escaped quote.
    size_t eq = std::string::npos;
    if (line.front() == '@') {
      eq = 1;
    } else if (line.front() == '"') {
      for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\') {
          ++i;
          continue;
        }
        if (line[i] == '"') {
          eq = i + 1;
          break;
        }
      }
    }
    if (eq == std::string::npos || eq >= line.size()) continue;
    into["[" + current + "] " + line.substr(0, eq)] = line.substr(eq + 1);
  }
}

}  // namespace

Snapshot TakeSnapshot() {
  Snapshot s;
  const fs::path root = Prefix() + "/drive_c";
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string rel = fs::relative(it->path(), root, ec).generic_string();
    if (VolatilePath(rel)) {
      if (it->is_directory(ec) && !it->is_symlink(ec)) it.disable_recursion_pending();
      continue;
    }
    if (it->is_symlink(ec)) {
      s.files[rel] = "link " + fs::read_symlink(it->path(), ec).string();
      it.disable_recursion_pending();
    } else if (it->is_directory(ec)) {
      s.files[rel] = "dir";
    } else {
      const std::string bytes = ReadFile(it->path().string());
      uint64_t h = 1469598103934665603ull;  // FNV-1a
      for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
      s.files[rel] = std::to_string(bytes.size()) + " bytes, hash " + Hex(h, 16);
      s.mtimes[rel] = static_cast<long long>(fs::last_write_time(it->path(), ec).time_since_epoch().count());
    }
  }
  for (const char* key : {"HKLM\\Software", "HKCU\\Software", "HKCU\\Environment", "HKCU\\Control Panel\\Desktop",
                          "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"})
    ExportRegistry(key, s.registry);
  return s;
}

std::string SnapshotDiff(const Snapshot& before, const Snapshot& after, const std::vector<std::string>& touched) {
  std::string out;
  auto compare = [&](const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
    for (const auto& [k, v] : a) {
      auto it = b.find(k);
      if (it == b.end()) out += "- " + k + (v.empty() ? "" : " = " + v) + "\n";
      else if (it->second != v) out += "~ " + k + ": " + v + " -> " + it->second + "\n";
    }
    for (const auto& [k, v] : b)
      if (!a.count(k)) out += "+ " + k + (v.empty() ? "" : " = " + v) + "\n";
  };
  compare(before.files, after.files);
  compare(before.registry, after.registry);
  for (const auto& [k, t] : before.mtimes) {
    auto it = after.mtimes.find(k);
    if (it == after.mtimes.end() || it->second == t) continue;
    if (std::find(touched.begin(), touched.end(), k) == touched.end()) out += "t " + k + "\n";
  }
  return out;
}

}  // namespace e2e
