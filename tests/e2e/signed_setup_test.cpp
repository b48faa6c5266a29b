// Signed setup files: a package signed after it was built carries the
// signature after its trailer, and still installs; the builder signs when it
// is given a certificate. The certificate is made here, for the test only.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"
#include "package_signing.h"
#include "setup_run_test.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

class SignedSetup : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    keys_ = BuildDir() + "/e2e-work/signing-" + std::to_string(::getpid());
    RemoveAll(keys_);
    fs::create_directories(keys_);
    cleanup_.push_back(keys_);
    const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=EkTest Code Signing'"
                            " -addext extendedKeyUsage=codeSigning -keyout '" + keys_ + "/key.pem' -out '" + keys_ +
                            "/cert.pem' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }

  std::string Certificate() const { return keys_ + "/cert.pem"; }
  std::string Key() const { return keys_ + "/key.pem"; }

  // The signature is valid against the test certificate as its own root.
  bool Verifies(const std::string& file) const {
    const std::string cmd = "osslsigncode verify -CAfile '" + Certificate() + "' -in '" + file + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
  }

  std::string Package(Product& p) {
    p.AddEnglish();
    p.AddPayload("files/readme.txt", "signed payload\r\n");
    p.AddRecord("files/readme.txt|<InstallDir>\\readme.txt|11");
    cleanup_.push_back(p.installDirUnix());
    return p.Build();
  }

  std::string keys_;
};

TEST_F(SignedSetup, SignedAfterItWasBuiltStillFindsItsTrailerAndInstalls) {
  Product p("signedafter");
  const std::string built = Package(p);
  const std::string signedFile = p.dir() + "/out/signed-setup.exe";
  const std::string cmd = "osslsigncode sign -h sha256 -certs '" + Certificate() + "' -key '" + Key() + "' -in '" +
                          built + "' -out '" + signedFile + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  ASSERT_TRUE(Verifies(signedFile));
  // The trailer is no longer the end of the file: the signature follows it.
  const std::string bytes = ReadFile(signedFile);
  const std::string trailer = ReadFile(built).substr(fs::file_size(built) - 13);
  ASSERT_EQ(trailer.substr(0, 3), "ZYX");
  ASSERT_NE(bytes.substr(bytes.size() - 13), trailer);
  EXPECT_GT(bytes.size() - bytes.rfind(trailer), 1000u);

  RunResult r = RunSetup(signedFile, {{"/S", "/L"}});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "signed payload\r\n");
  EXPECT_TRUE(LogHasLine("InstallationCompleted=1")) << ReadSetupLog();
}

TEST_F(SignedSetup, TheBuilderSignsWhenGivenACertificate) {
  Product p("signedbuild");
  const std::string built = Package(p);
  ASSERT_FALSE(Verifies(built));
  std::string error;
  ASSERT_TRUE(ekbuild::SignPackage(built, {Certificate(), Key(), "", ""}, error)) << error;
  EXPECT_TRUE(Verifies(built));
  EXPECT_EQ(RunSetup(built, {{"/S"}}).exitCode, 0);
  EXPECT_TRUE(Exists(p.installDirUnix() + "/readme.txt"));

  // A key that does not belong to the certificate: refused, the file stays as it was.
  const std::string before = ReadFile(built);
  const std::string other = keys_ + "/other.pem";
  ASSERT_EQ(std::system(("openssl genrsa -out '" + other + "' 2048 >/dev/null 2>&1").c_str()), 0);
  EXPECT_FALSE(ekbuild::SignPackage(built, {Certificate(), other, "", ""}, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(built), before);
}

TEST_F(SignedSetup, TheBuilderCommandLineSigns) {
  Product p("signedcli");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup());
  p.AddPayload("a.txt", "a\r\n");
  cleanup_.push_back(p.installDirUnix());
  WriteFile(p.dir() + "/files.lst", "a.txt|<InstallDir>\\a.txt|11\n");
  const std::string out = p.dir() + "/cli-setup.exe";
  const std::string cmd = "'" + BuildDir() + "/host/ekbuild' --engine '" + EnginePath() + "' --product '" + p.dir() +
                          "' --out '" + out + "' --sign '" + Certificate() + "' --key '" + Key() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  EXPECT_TRUE(Verifies(out));
  EXPECT_EQ(RunSetup(out, {{"/S"}}).exitCode, 0);
  EXPECT_TRUE(Exists(p.installDirUnix() + "/a.txt"));
}

}  // namespace
