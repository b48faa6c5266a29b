#include "ui_session.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

namespace e2e {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    const size_t t = line.find('\t', start);
    out.push_back(line.substr(start, t == std::string::npos ? std::string::npos : t - start));
    if (t == std::string::npos) break;
    start = t + 1;
  }
  return out;
}

}  // namespace

Facts ParseFacts(const std::string& line, size_t skip) {
  Facts f;
  const auto parts = SplitTabs(line);
  for (size_t i = skip; i < parts.size(); ++i) {
    const size_t eq = parts[i].find('=');
    if (eq != std::string::npos) f[parts[i].substr(0, eq)] = parts[i].substr(eq + 1);
  }
  return f;
}

UiSession::UiSession(const std::string& package, const RunOptions& options,
                     const std::vector<std::string>& alsoWatched) {
  static int counter = 0;
  dir_ = BuildDir() + "/e2e-work/ui-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  RemoveAll(dir_);
  std::filesystem::create_directories(dir_);
  ektmpBefore_ = EktmpFolders();
  std::vector<std::string> args = {package};
  args.insert(args.end(), options.args.begin(), options.args.end());
  setup_ = StartWine(args, options.env);
  std::string watched = WinPath(package);
  for (const auto& p : alsoWatched) watched += "|" + p;
  driver_ = StartWine({UiDriverPath(), "serve", WinPath(dir_), watched});
}

UiSession::~UiSession() {
  if (Running()) {
    // A test that stopped half-way: the setup cannot clean up after itself.
    ::kill(setup_, SIGKILL);
    WaitProcess(setup_, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const auto& f : EktmpFolders())
      if (std::find(ektmpBefore_.begin(), ektmpBefore_.end(), f) == ektmpBefore_.end()) RemoveAll(TempUnix() + "/" + f);
  }
  if (driver_ > 0) {
    WriteFile(dir_ + "/cmd-" + std::to_string(seq_) + ".txt", "quit\n");
    bool timedOut = false;
    WaitProcess(driver_, 5, &timedOut);
  }
  RemoveAll(dir_);
}

std::vector<std::string> UiSession::Do(const std::vector<std::string>& args, int* rc, int timeoutSec) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) line += (i ? "\t" : "") + args[i];
  const std::string n = std::to_string(seq_++);
  const std::string tmp = dir_ + "/cmd-" + n + ".tmp", cmd = dir_ + "/cmd-" + n + ".txt", res = dir_ + "/res-" + n + ".txt";
  WriteFile(tmp, line + "\n");
  std::filesystem::rename(tmp, cmd);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
  std::vector<std::string> out;
  if (rc) *rc = -1;
  while (!Exists(res)) {
    if (std::chrono::steady_clock::now() > end) return out;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::istringstream in(ReadFile(res));
  RemoveAll(res);
  std::string l;
  while (std::getline(in, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (l.rfind("rc=", 0) == 0) {
      if (rc) *rc = std::atoi(l.c_str() + 3);
      continue;
    }
    out.push_back(l);
  }
  return out;
}

bool UiSession::WaitForm(const std::string& form, int ms) {
  int rc = -1;
  Do({"wait-form", form, std::to_string(ms)}, &rc, ms / 1000 + 30);
  return rc == 0;
}

bool UiSession::WaitGone(const std::string& form, int ms) {
  int rc = -1;
  Do({"wait-gone", form, std::to_string(ms)}, &rc, ms / 1000 + 30);
  return rc == 0;
}

bool UiSession::Wait(const std::string& form, const std::string& control, const std::string& key,
                     const std::string& value, int ms) {
  int rc = -1;
  Do({"wait", form, control, key, value, std::to_string(ms)}, &rc, ms / 1000 + 30);
  return rc == 0;
}

std::map<std::string, Facts> UiSession::Controls(const std::string& form) {
  std::map<std::string, Facts> out;
  for (const auto& l : Do({"controls", form})) {
    const auto parts = SplitTabs(l);
    if (parts.size() >= 2 && parts[0] == "control") out[parts[1]] = ParseFacts(l, 2);
  }
  return out;
}

Facts UiSession::Form(const std::string& form) {
  for (const auto& l : Do({"forms"})) {
    const auto parts = SplitTabs(l);
    if (parts.size() >= 2 && parts[0] == "form" && parts[1] == form) return ParseFacts(l, 4);
  }
  return {};
}

Facts UiSession::Control(const std::string& form, const std::string& control) { return Controls(form)[control]; }

void UiSession::Click(const std::string& form, const std::string& control) { Do({"click", form, control}); }
void UiSession::SetText(const std::string& form, const std::string& control, const std::string& text) {
  Do({"settext", form, control, text});
}
void UiSession::Select(const std::string& form, const std::string& control, int index) {
  Do({"select", form, control, std::to_string(index)});
}
void UiSession::CheckItem(const std::string& form, const std::string& control, int index) {
  Do({"item", form, control, std::to_string(index), "check"});
}
void UiSession::SelectItem(const std::string& form, const std::string& control, int index) {
  Do({"item", form, control, std::to_string(index), "select"});
}

bool UiSession::Keys(const std::string& form, const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"keys", form};
  args.insert(args.end(), keys.begin(), keys.end());
  int rc = -1;
  Do(args, &rc);
  return rc == 0;
}

std::string UiSession::Focus(const std::string& form) {
  for (const auto& l : Do({"focus", form}))
    if (l.rfind("focus=", 0) == 0) return l.substr(6);
  return {};
}

bool UiSession::WaitFocus(const std::string& form, const std::string& control, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (Focus(form) == control) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

std::optional<MessageBox> UiSession::WaitBox(int ms) {
  int rc = -1;
  const auto lines = Do({"wait-box", std::to_string(ms)}, &rc, ms / 1000 + 30);
  for (const auto& l : lines) {
    const auto parts = SplitTabs(l);
    if (parts.size() >= 4 && parts[0] == "box") return MessageBox{parts[1], parts[2], parts[3]};
  }
  return std::nullopt;
}

bool UiSession::Answer(const std::string& button, const std::string& containing) {
  int rc = -1;
  Do({"answer", button, containing}, &rc);
  return rc == 0;
}

std::optional<MessageBox> UiSession::WaitBoxWith(const std::string& containing, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    for (const auto& l : Do({"boxes"})) {
      const auto parts = SplitTabs(l);
      if (parts.size() >= 4 && parts[0] == "box" && parts[2].find(containing) != std::string::npos)
        return MessageBox{parts[1], parts[2], parts[3]};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return std::nullopt;
}

bool UiSession::FileDialog(const std::string& path) {
  int rc = -1;
  Do({"filedialog", path}, &rc);
  return rc == 0;
}

int UiSession::MenuPictures() {
  for (const auto& l : Do({"menu"}))
    if (l.rfind("pictures=", 0) == 0) return std::atoi(l.c_str() + 9);
  return -1;
}

void UiSession::MenuPick(int index) { Do({"menu-pick", std::to_string(index)}); }
void UiSession::Close(const std::string& form) { Do({"close", form}); }

std::string UiSession::Position(const std::string& form) {
  for (const auto& l : Do({"position", form}))
    if (l.rfind("position=", 0) == 0) return l.substr(9);
  return {};
}

std::string UiSession::Drag(const std::string& form, const std::string& control, int dx, int dy) {
  for (const auto& l : Do({"drag", form, control, std::to_string(dx), std::to_string(dy)}))
    if (l.rfind("position=", 0) == 0) return l.substr(9);
  return {};
}

std::vector<std::string> UiSession::LayoutProblems(const std::string& form) {
  std::vector<std::string> out;
  bool answered = false;
  for (const auto& l : Do({"layout", form})) {
    if (l.rfind("problem\t", 0) == 0) out.push_back(l.substr(8));
    if (l.rfind("problems=", 0) == 0) answered = true;
  }
  if (!answered) out.push_back("no layout answer for " + form);
  return out;
}

std::map<std::string, UiSession::Accessible> UiSession::Accessibility(const std::string& form) {
  std::map<std::string, Accessible> out;
  for (const auto& l : Do({"a11y", form})) {
    const auto parts = SplitTabs(l);
    if (parts.size() < 2 || parts[0] != "a11y") continue;
    const Facts f = ParseFacts(l, 2);
    out[parts[1]] = Accessible{f.count("name") ? f.at("name") : "", f.count("role") ? f.at("role") : "",
                               f.count("tabstop") ? f.at("tabstop") : ""};
  }
  return out;
}

bool UiSession::Shot(const std::string& form, const std::string& png) {
  int rc = -1;
  Do({"shot", form, WinPath(png)}, &rc);
  return rc == 0 && Exists(png);
}

bool UiSession::Running() {
  if (exited_ || setup_ <= 0) return false;
  int code = -1;
  if (StillRunning(setup_, &code)) return true;
  exited_ = true;
  exitCode_ = code;
  return false;
}

int UiSession::WaitExit(int timeoutSec) {
  if (exited_) return exitCode_;
  if (setup_ <= 0) return -1;
  bool timedOut = false;
  exitCode_ = WaitProcess(setup_, timeoutSec, &timedOut);
  exited_ = true;
  return timedOut ? -1 : exitCode_;
}

}  // namespace e2e
