// End-to-end harness: builds real packages with the package builder, runs
// them under Wine in the build tree's prefix, and reads back the results
// through the file system and through ekprobe.exe (real Win32 inside Wine).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "package_builder.h"

namespace e2e {

std::string BuildDir();
std::string SourceDir();
std::string Prefix();
std::string EnginePath();       // Setup.exe
std::string UninstallerPath();  // Uninstall.exe
std::string ProbePath();        // ekprobe.exe
std::string UiDriverPath();     // ekui.exe

// Windows paths of the prefix and their Unix equivalents.
std::string WineUser();
std::string TempWin();   // C:\users\<user>\Temp
std::string TempUnix();
std::string UnixPath(const std::string& windowsPath);  // C:\x -> <prefix>/drive_c/x, Z:\x -> /x
std::string WinPath(const std::string& unixPath);      // /x -> Z:\x

bool Exists(const std::string& unixPath);
bool IsDir(const std::string& unixPath);
std::string ReadFile(const std::string& unixPath);
void WriteFile(const std::string& unixPath, const std::string& bytes);
void RemoveAll(const std::string& unixPath);
std::vector<std::string> ListDir(const std::string& unixPath);  // names, sorted

// A product folder in the work area, with a unique GUID and install folder.
// The work folders of the products made since the last call are listed by
// TakeProductFolders (the test frame removes them after a passing test).
std::vector<std::string> TakeProductFolders();

class Product {
 public:
  explicit Product(const std::string& name);
  const std::string& dir() const { return dir_; }
  const std::string& guid() const { return guid_; }
  // "C:\Program Files\<unique name>": the default install folder.
  const std::string& installDirWin() const { return installDir_; }
  std::string installDirUnix() const { return UnixPath(installDir_); }

  // eksetup.ini; "{GUID}" and "{INSTALLDIR}" are replaced. Without an
  // explicit [Setup] text the standard one is used (see StandardSetup).
  void SetIni(const std::string& text);
  static std::string StandardSetup();  // product keys and every Windows version allowed
  void AddEnglish();                    // the reference English language file
  void AddConfigFile(const std::string& name, const std::string& bytes);
  void AddPayload(const std::string& relSource, const std::string& bytes);
  void AddRecord(const std::string& line);  // a files.lst line
  // Builds the setup file; options may be adjusted through `tweak`.
  std::string Build(const std::string& fileName = "setup.exe");
  ekbuild::BuildOptions tweak;
  bool withUninstaller = true;

 private:
  std::string dir_, guid_, installDir_, name_;
  std::string records_;
};

struct RunOptions {
  std::vector<std::string> args;
  int timeoutSec = 120;
  std::string answer = "default";  // how message boxes are answered
  bool pressInstall = false;        // a user who presses the big button (Install, then Finish)
  std::vector<std::pair<std::string, std::string>> env;
  // ekprobe arguments of a probe that runs beside the program and is ended
  // with it; its output lines come back in RunResult::alongside.
  std::vector<std::string> alongside;
  bool watchDialogs = true;  // false: no box answerer (a helper program beside the one under test)
};

struct RunResult {
  int exitCode = -1;
  bool timedOut = false;
  std::vector<std::string> dialogs;  // "caption\ttext" of each answered box
  std::vector<std::string> alongside;  // output lines of the probe beside it
  long peakKb = 0;                   // peak resident memory of the process
  double seconds = 0;                // wall time
};

// Starts a Windows program under Wine without waiting (the prefix's
// environment plus `env`); the process id, -1 when it did not start.
int StartWine(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env = {});
// Waits for a started program; its exit code, -1 after the timeout (the
// program is then killed).
int WaitProcess(int pid, int timeoutSec, bool* timedOut = nullptr);
// Whether a started program is still running (a finished one is reaped and
// its exit code stored).
bool StillRunning(int pid, int* exitCode);

// Runs a Windows program (any .exe) under Wine and waits for it.
RunResult RunWine(const std::string& exeUnixPath, const RunOptions& options);
// The same in two halves, for tests that act while the program runs.
struct StartedRun {
  int pid = -1, watcher = -1, beside = -1;  // Unix processes: the program, the box answerer, the probe beside
  std::string dialogLog, besideLog;
  int timeoutSec = 120;
  double started = 0;  // steady clock, seconds
};
StartedRun StartWine(const std::string& exeUnixPath, const RunOptions& options);
RunResult WaitWine(StartedRun& run);
// Ends the program at once, as a crash or the task manager would (SIGKILL),
// and waits until it is gone.
void KillWine(StartedRun& run);
RunResult RunSetup(const std::string& packageUnixPath, const RunOptions& options = {});

// A Windows program left running under Wine (a program the setup must find
// running). Ended, if it still runs, when the object goes.
class Background {
 public:
  Background(const std::string& exeUnixPath, const std::vector<std::string>& args,
             const std::vector<std::pair<std::string, std::string>>& env = {});
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  bool started() const { return pid_ > 0; }
  // Whether it ended within the time (it is reaped then).
  bool EndsWithin(int seconds);

 private:
  int pid_ = -1;
};

// A program that a setup must find running: argdump.exe copied to
// `exeUnixPath` and started; it appends a line to argdump.log in `logDirUnix`
// (emptied first) and stays for 90 seconds. Returns once it runs (the line is
// there), null when it did not start.
std::unique_ptr<Background> StartRunningProgram(const std::string& exeUnixPath, const std::string& logDirUnix);

// The setup log left in the temporary folder ("" when none).
std::string ReadSetupLog();
void ClearSetupLog();
std::vector<std::string> LogLines();
bool LogHasLine(const std::string& line);
bool LogHasLineStartingWith(const std::string& prefix);
std::vector<std::string> EktmpFolders();  // EKTMP* names in the temporary folder

// The download tests' HTTP server (tests/e2e/http_server.py) on 127.0.0.1
// and a free port, for as long as the object lives.
class HttpServer {
 public:
  HttpServer();
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;
  bool running() const { return port_ > 0; }
  // "http://127.0.0.1:<port>/<path>"
  std::string Url(const std::string& path) const;
  // Served at /files/<name>, /slow/<name> and /redirect/<name>.
  void AddFile(const std::string& name, const std::string& bytes);
  // "METHOD target agent=... pragma=..." of every request so far.
  std::vector<std::string> Requests() const;

 private:
  std::string root_;
  int pid_ = -1;
  int port_ = 0;
};

// Runs ekprobe.exe and returns its key=value lines.
std::map<std::string, std::string> Probe(const std::vector<std::string>& args);
// Convenience: the data of a registry value ("<missing>" / "<nokey>").
std::string RegValue(const std::string& root, const std::string& key, const std::string& value, bool view32 = false);
bool RegKeyExists(const std::string& root, const std::string& key, bool view32 = false);
// Runs a command line under Wine (reg.exe and the like); its stdout.
std::string WineOutput(const std::vector<std::string>& args, int* exitCode = nullptr);

// Reads an INI file (UTF-8 with or without BOM) into section -> key -> value.
using Ini = std::map<std::string, std::map<std::string, std::string>>;
Ini ReadIni(const std::string& unixPath);
// Keys of a section in file order.
std::vector<std::pair<std::string, std::string>> IniSection(const std::string& unixPath, const std::string& section);

bool Contains(const std::string& hay, const std::string& needle);

// One of Wine's scalable fonts with its names changed to a unique text of
// the same length ("Webdings" -> "EkW" + five characters).
std::string UniqueFont(const std::string& face);

// A picture of the prefix for before-and-after comparisons: every folder and
// file under drive_c (size, content hash, last-write time) and the registry
// below HKLM\Software, HKCU\Software, the two environments and the user's
// desktop settings. The temporary folder and what Wine itself keeps changing
// are left out.
struct Snapshot {
  std::map<std::string, std::string> files;     // path below drive_c -> "dir" or size and hash
  std::map<std::string, long long> mtimes;      // files only
  std::map<std::string, std::string> registry;  // "[key]" or "[key] name" -> data
};
Snapshot TakeSnapshot();
// The differences, one line each ("+ " added, "- " removed, "~ " changed,
// "t " only the last-write time); empty when the prefix is as it was.
// Files in `touched` (paths below drive_c) may differ in their time.
std::string SnapshotDiff(const Snapshot& before, const Snapshot& after, const std::vector<std::string>& touched = {});

}  // namespace e2e
