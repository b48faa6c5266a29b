// A large silent installation under Wine: a payload of one big file and many
// small ones. Reports the wall time and peak memory of Setup.exe and, as the
// reference in the same run, of Info-ZIP unzip extracting the same data
// archive natively into a folder. Memory must not grow with the payload.
//
//   install_bench [big-file-MB] [small-files]     (defaults: 500 10000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  const size_t bigMb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 500;
  const size_t smallFiles = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
  e2e::Product p("bench");
  p.withUninstaller = false;
  p.AddEnglish();
  p.SetIni(e2e::Product::StandardSetup() + "Uninstall=1\r\n");
  std::printf("preparing %zu MB and %zu small files...\n", bigMb, smallFiles);
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
  std::printf("building the package...\n");
  const std::string pkg = p.Build();
  if (pkg.rfind("BUILD FAILED", 0) == 0) {
    std::printf("%s\n", pkg.c_str());
    return 1;
  }
  e2e::Ini cfg = e2e::ReadIni(ini);
  const uint64_t engine = std::stoull(cfg["Setup"]["EngineSize"]);
  const uint64_t data = std::stoull(cfg["Setup"]["EKDataFileSize"]);
  std::printf("package: %.0f MB\n", static_cast<double>(fs::file_size(pkg)) / 1048576.0);

  e2e::RunOptions o;
  o.args = {"/S"};
  o.timeoutSec = 3600;
  if (const char* t = std::getenv("EK_STEP_TIMES")) o.env.push_back({"EK_STEP_TIMES", t});
  e2e::RunResult setup = e2e::RunSetup(pkg, o);
  e2e::RemoveAll(p.installDirUnix());

  // The same data archive, unzipped natively.
  const std::string zip = p.dir() + "/data.zip", out = p.dir() + "/unzipped";
  {
    std::ifstream in(pkg, std::ios::binary);
    std::ofstream z(zip, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(engine));
    std::string buf(1u << 20, '\0');
    uint64_t left = data;
    while (left > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
      in.read(buf.data(), static_cast<std::streamsize>(n));
      z.write(buf.data(), static_cast<std::streamsize>(n));
      left -= n;
    }
  }
  NativeRun unzip = RunNative("unzip -q -o '" + zip + "' -d '" + out + "'");
  std::printf("Setup.exe /S under Wine: exit %d, %.1f s, peak %ld KB\n", setup.exitCode, setup.seconds, setup.peakKb);
  std::printf("unzip (native):           exit %d, %.1f s, peak %ld KB\n", unzip.exitCode, unzip.seconds, unzip.peakKb);
  std::printf("ratio Setup/unzip: time %.2f, peak memory %.2f\n", setup.seconds / unzip.seconds,
              static_cast<double>(setup.peakKb) / static_cast<double>(unzip.peakKb));
  e2e::RemoveAll(p.dir());
  return setup.exitCode == 0 ? 0 : 1;
}
