#include "package_signing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <vector>

extern char** environ;

namespace ekbuild {
namespace {

// Runs the program with its arguments; its exit code, or -1 when it could
// not be started.
int Run(const std::vector<std::string>& args, std::string& output) {
  const std::string log = std::filesystem::temp_directory_path() / ("ekbuild-sign-" + std::to_string(::getpid()));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (started == 0 && ::waitpid(pid, &status, 0) < 0) status = -1;
  if (FILE* f = std::fopen(log.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) output.append(buf, n);
    std::fclose(f);
  }
  std::remove(log.c_str());
  if (started != 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool SignPackage(const std::string& file, const SigningOptions& o, std::string& error) {
  if (o.certificate.empty()) {
    error = "signing needs a certificate";
    return false;
  }
  const std::string signedFile = file + ".signed";
  std::vector<std::string> args = {"osslsigncode", "sign", "-h", "sha256"};
  const bool pkcs12 = o.key.empty();
  if (pkcs12) {
    args.insert(args.end(), {"-pkcs12", o.certificate});
  } else {
    args.insert(args.end(), {"-certs", o.certificate, "-key", o.key});
  }
  if (!o.password.empty()) args.insert(args.end(), {"-pass", o.password});
  if (!o.timestampUrl.empty()) args.insert(args.end(), {"-ts", o.timestampUrl});
  args.insert(args.end(), {"-in", file, "-out", signedFile});
  std::string output;
  const int code = Run(args, output);
  if (code != 0) {
    std::error_code ec;
    std::filesystem::remove(signedFile, ec);
    error = code < 0 ? "osslsigncode cannot be started (is it installed?)" : "osslsigncode failed: " + output;
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(signedFile, file, ec);
  if (ec) {
    error = "cannot replace " + file + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace ekbuild
