// A large silent installation under Wine, each figure against a reference
// measured in the same run:
//   time      Setup.exe /S of one big file and many small ones, against
//             Info-ZIP unzip extracting the same data archive natively into a
//             folder (medians of three rounds, one of each per round);
//   memory    the peak working set of the same installation with a big file
//             of two sizes (it must not grow with the payload), beside that
//             of an empty Windows program with a window;
//   start-up  the time from the start of the setup to its visible window,
//             for a small and a large package (it must not grow either).
// Every installation logs the time of its steps (EK_STEP_TIMES) and where its
// memory is (EK_MEMORY_TRACE); the steps of the last timed one and the memory
// of the largest are printed, then a closing summary of the figures.
//
//   install_bench [big-file-MB] [small-files] [small-MB] [large-MB]
//   (defaults: 500 10000 100 1024)
//   install_bench once <big-file-MB> <small-files>   one installation, its
//   time, peak working set, steps and memory trace (for profiling)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

struct NativeRun {
  double seconds = 0;
  long peakKb = 0;
  int exitCode = -1;
};

NativeRun RunNative(const std::string& command) {
  NativeRun r;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakKb = ru.ru_maxrss;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Compresses about as well as a real program's files: a third noise.
void WriteBig(const std::string& path, size_t megabytes) {
  std::ofstream out(path, std::ios::binary);
  std::mt19937 rng(7);
  std::string block(1u << 20, '\0');
  for (size_t mb = 0; mb < megabytes; ++mb) {
    for (size_t i = 0; i < block.size(); ++i)
      block[i] = (rng() % 3 == 0) ? static_cast<char>(rng()) : "payload text "[i % 13];
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

struct Package {
  std::string path;
  std::string installDir;  // Unix path
  uint64_t engineSize = 0, dataSize = 0;
};

Package Build(const std::string& name, size_t bigMb, size_t smallFiles) {
  e2e::Product p(name);
  p.withUninstaller = false;
  p.AddEnglish();
  p.SetIni(e2e::Product::StandardSetup() + "Uninstall=1\r\n");
  std::printf("preparing %s: %zu MB and %zu small files...\n", name.c_str(), bigMb, smallFiles);
  std::fflush(stdout);
  e2e::WriteFile(p.dir() + "/big/payload.bin", "");  // creates the folder
  WriteBig(p.dir() + "/big/payload.bin", bigMb);
  p.AddRecord("big/payload.bin|<InstallDir>\\data\\payload.bin|11");
  std::mt19937 rng(11);
  for (size_t i = 0; i < smallFiles; ++i) {
    const std::string rel = "small/d" + std::to_string(i % 100) + "/f" + std::to_string(i) + ".txt";
    p.AddPayload(rel, std::string(512 + rng() % 3584, static_cast<char>('a' + i % 26)));
    p.AddRecord(rel + "|<InstallDir>\\small\\d" + std::to_string(i % 100) + "\\f" + std::to_string(i) + ".txt|11");
  }
  const std::string ini = p.dir() + "/built.ini";
  p.tweak.configOut = ini;
  Package out;
  out.path = p.Build();
  if (out.path.rfind("BUILD FAILED", 0) == 0) {
    std::printf("%s\n", out.path.c_str());
    std::exit(1);
  }
  e2e::RemoveAll(p.dir() + "/big");
  e2e::RemoveAll(p.dir() + "/small");
  e2e::Ini cfg = e2e::ReadIni(ini);
  out.engineSize = std::stoull(cfg["Setup"]["EngineSize"]);
  out.dataSize = std::stoull(cfg["Setup"]["EKDataFileSize"]);
  out.installDir = p.installDirUnix();
  std::printf("  package: %.0f MB\n", static_cast<double>(fs::file_size(out.path)) / 1048576.0);
  return out;
}

const std::string kStepTimes = e2e::BuildDir() + "/e2e-work/bench-steps.txt";
const std::string kMemoryTrace = e2e::BuildDir() + "/e2e-work/bench-memory.txt";

e2e::RunResult Install(const Package& pkg) {
  e2e::RunOptions o;
  o.args = {"/S"};
  o.timeoutSec = 3600;
  o.env = {{"EK_STEP_TIMES", e2e::WinPath(kStepTimes)}, {"EK_MEMORY_TRACE", e2e::WinPath(kMemoryTrace)}};
  e2e::RunResult r = e2e::RunSetup(pkg.path, o);
  e2e::RemoveAll(pkg.installDir);
  if (r.exitCode != 0) {
    std::printf("Setup.exe failed with exit code %d\n", r.exitCode);
    std::exit(1);
  }
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// Milliseconds from the start of the package to its visible window.
double StartupMs(const Package& pkg) {
  auto out = e2e::Probe({"startup", e2e::WinPath(pkg.path)});
  // The setup was ended at its welcome window: its temporary folder stays.
  for (const auto& f : e2e::EktmpFolders()) e2e::RemoveAll(e2e::TempUnix() + "/" + f);
  if (!out.count("startup_ms") || out["startup_ms"] == "none") {
    std::printf("the setup window did not appear\n");
    std::exit(1);
  }
  return std::stod(out["startup_ms"]);
}

// The lines a seam of the last installation wrote, under a title.
void PrintLines(const char* title, const std::string& path) {
  std::printf("%s\n", title);
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\t') != std::string::npos) std::printf("  %s\n", line.c_str());
  }
}

void PrintSteps() {
  PrintLines("steps of the last installation (ms, peak working set in KB so far):", kStepTimes);
}

// Where the memory of the last installation was at its start, at the point
// where its window would be shown, and after each step.
void PrintMemoryTrace() {
  PrintLines("memory of the last installation (KB; heap = blocks in use / committed; modules loaded since the line "
             "before):",
             kMemoryTrace);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && std::string(argv[1]) == "once") {
    const Package pkg = Build("bench-once", std::strtoul(argv[2], nullptr, 10), std::strtoul(argv[3], nullptr, 10));
    const e2e::RunResult r = Install(pkg);
    std::printf("Setup.exe /S: %.2f s, peak %ld KB\n", r.seconds, r.peakKb);
    PrintSteps();
    PrintMemoryTrace();
    e2e::RemoveAll(fs::path(pkg.path).parent_path().parent_path().string());
    return 0;
  }
  const size_t bigMb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 500;
  const size_t smallFiles = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  const size_t smallMb = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 100;
  const size_t largeMb = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1024;
  const std::string loadBefore = LoadAverage();
  std::printf("load average at the start: %s (%ld processors)\n", loadBefore.c_str(), sysconf(_SC_NPROCESSORS_ONLN));

  // ---- time against unzip
  const Package timed = Build("bench-time", bigMb, smallFiles);
  const std::string work = e2e::BuildDir() + "/e2e-work/bench-unzip";
  e2e::RemoveAll(work);
  fs::create_directories(work);
  const std::string zip = work + "/data.zip", out = work + "/unzipped";
  {
    std::ifstream in(timed.path, std::ios::binary);
    std::ofstream z(zip, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(timed.engineSize));
    std::string buf(1u << 20, '\0');
    uint64_t left = timed.dataSize;
    while (left > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
      in.read(buf.data(), static_cast<std::streamsize>(n));
      z.write(buf.data(), static_cast<std::streamsize>(n));
      left -= n;
    }
  }
  std::vector<double> setupTimes, unzipTimes, ratios;
  long timedPeakKb = 0;
  for (int round = 1; round <= 3; ++round) {
    const e2e::RunResult setup = Install(timed);
    const NativeRun unzip = RunNative("unzip -q -o '" + zip + "' -d '" + out + "'");
    e2e::RemoveAll(out);
    if (unzip.exitCode != 0) {
      std::printf("unzip failed with exit code %d\n", unzip.exitCode);
      return 1;
    }
    setupTimes.push_back(setup.seconds);
    unzipTimes.push_back(unzip.seconds);
    ratios.push_back(setup.seconds / unzip.seconds);
    timedPeakKb = std::max(timedPeakKb, setup.peakKb);
    std::printf("round %d: Setup.exe /S %.2f s (peak %ld KB), unzip %.2f s, ratio %.2f\n", round, setup.seconds,
                setup.peakKb, unzip.seconds, setup.seconds / unzip.seconds);
    std::fflush(stdout);
  }
  PrintSteps();
  e2e::RemoveAll(work);
  e2e::RemoveAll(fs::path(timed.path).parent_path().parent_path().string());

  // ---- memory at two payload sizes, and an empty program's
  const e2e::RunResult empty = e2e::RunWine(e2e::BuildDir() + "/bin/empty_window.exe", {});
  std::printf("empty Windows program with a window: peak %ld KB\n", empty.peakKb);
  long peak[2] = {0, 0};
  Package sized[2];
  const size_t sizes[2] = {smallMb, largeMb};
  for (int k = 0; k < 2; ++k) {
    sized[k] = Build("bench-" + std::to_string(sizes[k]) + "mb", sizes[k], smallFiles);
    const e2e::RunResult r = Install(sized[k]);
    peak[k] = r.peakKb;
    std::printf("  Setup.exe /S: %.2f s, peak %ld KB\n", r.seconds, r.peakKb);
    std::fflush(stdout);
  }
  PrintMemoryTrace();

  // ---- start-up of a small and a large package
  const Package tiny = Build("bench-1mb", 1, 10);
  std::vector<double> startSmall, startLarge;
  for (int round = 0; round < 3; ++round) {
    startSmall.push_back(StartupMs(tiny));
    startLarge.push_back(StartupMs(sized[1]));
  }
  for (const Package* p : {&tiny, static_cast<const Package*>(&sized[0]), static_cast<const Package*>(&sized[1])})
    e2e::RemoveAll(fs::path(p->path).parent_path().parent_path().string());

  const std::string loadAfter = LoadAverage();
  std::printf("\n== Summary (load average %s at the start, %s at the end)\n", loadBefore.c_str(), loadAfter.c_str());
  std::printf("install %zu MB + %zu files: Setup %.2f s, unzip %.2f s, ratio Setup/unzip %.2f (medians of 3)\n", bigMb,
              smallFiles, Median(setupTimes), Median(unzipTimes), Median(ratios));
  std::printf("peak working set: %zu MB payload %.1f MB, %zu MB payload %.1f MB (growth %+.1f MB); "
              "empty program with a window %.1f MB\n",
              smallMb, peak[0] / 1024.0, largeMb, peak[1] / 1024.0, (peak[1] - peak[0]) / 1024.0, empty.peakKb / 1024.0);
  std::printf("start-up to the visible window: 1 MB package %.0f ms, %zu MB package %.0f ms, ratio %.2f (medians of 3)\n",
              Median(startSmall), largeMb, Median(startLarge), Median(startLarge) / Median(startSmall));
  return 0;
}
