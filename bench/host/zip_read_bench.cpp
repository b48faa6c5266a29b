// Reading one large archive entry: our ZIP reader against Info-ZIP unzip on
// the same file, both writing the entry to a file on the same disk. Prints
// the time ratio and the reader's peak memory (it streams, so the peak does
// not grow with the entry).
//
//   zip_read_bench [size-in-MB] [work-folder]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "base/zip_reader.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class PosixSource : public ek::ByteSource {
 public:
  explicit PosixSource(const std::string& path) : f_(std::fopen(path.c_str(), "rb")) {
    if (f_) {
      std::fseek(f_, 0, SEEK_END);
      size_ = static_cast<uint64_t>(std::ftell(f_));
    }
  }
  ~PosixSource() override {
    if (f_) std::fclose(f_);
  }
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t off, void* buf, size_t len) override {
    return f_ && fseeko(f_, static_cast<off_t>(off), SEEK_SET) == 0 && std::fread(buf, 1, len, f_) == len;
  }

 private:
  FILE* f_;
  uint64_t size_ = 0;
};

class PosixSink : public ek::ByteSink {
 public:
  explicit PosixSink(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {}
  ~PosixSink() override {
    if (f_) std::fclose(f_);
  }
  bool Write(const void* d, size_t n) override { return f_ && std::fwrite(d, 1, n, f_) == n; }

 private:
  FILE* f_;
};

long PeakKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// Text-like data: compresses about 3:1 as real payloads often do.
void MakeInput(const std::string& path, size_t megabytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::mt19937 rng(42);
  static const char* words[] = {"install ", "setup ", "archive ", "stream ", "entry ", "folder ", "value ", "\r\n"};
  std::string block;
  for (size_t mb = 0; mb < megabytes; ++mb) {
    block.clear();
    while (block.size() < (1u << 20)) {
      block += words[rng() % 8];
      if (rng() % 4 == 0) block.push_back(static_cast<char>('a' + rng() % 26));
    }
    block.resize(1u << 20);
    std::fwrite(block.data(), 1, block.size(), f);
  }
  std::fclose(f);
}

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

}  // namespace

int main(int argc, char** argv) {
  const size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 400;
  const std::string work = argc > 2 ? argv[2] : "/tmp/ek-zip-bench";
  fs::create_directories(work);
  const std::string input = work + "/big.dat", archive = work + "/big.zip";
  std::printf("preparing a %zu MB entry...\n", mb);
  MakeInput(input, mb);
  fs::remove(archive);
  if (std::system(("cd '" + work + "' && zip -q -6 big.zip big.dat").c_str()) != 0) return 1;
  fs::remove(input);
  std::system("sync");

  double best = 1e9, bestUnzip = 1e9;
  const long before = PeakKb();
  for (int round = 0; round < 2; ++round) {
    const std::string out = work + "/ours.dat";
    auto t0 = Clock::now();
    {
      PosixSource src(archive);
      ek::ZipReader zip;
      if (zip.Open(src) != ek::ZipError::None) return 1;
      PosixSink sink(out);
      if (zip.Extract(zip.Entries()[0], sink) != ek::ZipError::None) return 1;
    }
    auto t1 = Clock::now();
    best = std::min(best, Seconds(t0, t1));
    fs::remove(out);
    fs::remove_all(work + "/unzipped");
    auto u0 = Clock::now();
    if (std::system(("unzip -q -o '" + archive + "' -d '" + work + "/unzipped'").c_str()) != 0) return 1;
    auto u1 = Clock::now();
    bestUnzip = std::min(bestUnzip, Seconds(u0, u1));
    fs::remove_all(work + "/unzipped");
  }
  std::printf("entry: %zu MB, archive: %.0f MB\n", mb, static_cast<double>(fs::file_size(archive)) / 1048576.0);
  std::printf("our reader: %.2f s   unzip: %.2f s   ratio (ours/unzip): %.2f\n", best, bestUnzip, best / bestUnzip);
  std::printf("reader peak memory growth: %ld KB (process peak %ld KB)\n", PeakKb() - before, PeakKb());
  fs::remove_all(work);
  return 0;
}
