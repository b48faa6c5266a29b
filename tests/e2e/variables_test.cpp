// The [Variables] section of real packages: every source in a silent run,
// each value written by a [Registry] record into a key that the test reads
// back; the network sources against a local HTTP server (slow, failing,
// silent); the MSG( and HALT( defaults; scrambled packages; and the deferred
// evaluation at the first activation.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;

namespace {

// A record of the section: name, source, argument, type, default, view.
std::string Var(const std::string& name, const std::string& source, const std::string& argument,
                const std::string& type, const std::string& fallback, const std::string& view = "") {
  return name + "*?" + source + "*?" + argument + "*?" + type + "*?" + fallback + "*?" + view;
}

// The engine's descrambling rule, and the scrambled form of a text as the
// package builder's customer would store it.
char Descramble(char c) {
  if (c != '"' && c != ' ') c = static_cast<char>(c ^ 2);
  if (c >= 'A' && c <= 'Z') return static_cast<char>('A' + (c - 'A' + 13) % 26);
  if (c >= 'a' && c <= 'z') return static_cast<char>('a' + (c - 'a' + 13) % 26);
  if (c >= '0' && c <= '9') return static_cast<char>('0' + (c - '0' + 5) % 10);
  return c;
}
std::string Scramble(const std::string& plain) {
  std::string out;
  for (char c : plain)
    for (int s = 32; s < 127; ++s)
      if (Descramble(static_cast<char>(s)) == c) {
        out += static_cast<char>(s);
        break;
      }
  return out;
}
std::string ScrambleRecord(const std::string& record) {
  std::string out;
  size_t start = 0;
  while (true) {
    const size_t sep = record.find("*?", start);
    out += Scramble(record.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
    if (sep == std::string::npos) return out;
    out += "*?";
    start = sep + 2;
  }
}

class Variables : public SetupRunTest {
 protected:
  // A silent package whose [Variables] are the records given; every name
  // listed in `shown` is written by a [Registry] record into HKCU\<key>,
  // under the name without its brackets.
  std::string Package(Product& p, const std::string& setupExtra, const std::vector<std::string>& records,
                      const std::vector<std::string>& shown, bool scrambled = false) {
    key_ = "Software\\EkTest" + p.guid();
    regKeys_.push_back("HKCU\\" + key_);
    std::string ini = Product::StandardSetup() + setupExtra + (scrambled ? "DataSens=1\r\n" : "") + "[Variables]\r\n";
    if (!installDir_.empty()) ini.replace(ini.find("{INSTALLDIR}"), 12, installDir_);
    for (size_t i = 0; i < records.size(); ++i)
      ini += std::to_string(i) + "=" + (scrambled ? ScrambleRecord(records[i]) : records[i]) + "\r\n";
    ini += "[Registry]\r\n";
    for (size_t i = 0; i < shown.size(); ++i)
      ini += std::to_string(i) + "=HKCU\\" + key_ + "*?" + shown[i].substr(1, shown[i].size() - 2) + "*?REG_SZ*?" +
             shown[i] + "*?Yes*?No*?Default\r\n";
    p.AddEnglish();
    p.SetIni(ini);
    p.AddPayload("readme.txt", "hello\r\n");
    p.AddRecord("readme.txt|<InstallDir>\\readme.txt|11");
    cleanup_.push_back(p.installDirUnix());
    return p.Build();
  }
  // What the [Registry] records wrote: name -> value.
  std::map<std::string, std::string> Written() {
    std::map<std::string, std::string> out;
    for (const auto& [k, v] : Probe({"reg", "HKCU", key_, "*"}))
      if (k.rfind("value[", 0) == 0) out[k.substr(6, k.size() - 7)] = v;
    return out;
  }
  void RegAdd(const std::string& key, const std::string& name, const std::string& type, const std::string& data,
              bool view32 = false) {
    std::vector<std::string> args = {"reg", "add", key, "/v", name, "/t", type, "/d", data, "/f"};
    if (view32) args.push_back("/reg:32");
    int code = -1;
    WineOutput(args, &code);
    ASSERT_EQ(code, 0) << key << " " << name;
  }

  std::string key_;
  std::string installDir_;  // instead of the product's own folder
};

TEST_F(Variables, EverySourceInASilentRun) {
  HttpServer server;
  ASSERT_TRUE(server.running());
  server.AddFile("version.txt", "  7.8.9  \r\nsecond line\r\n");
  server.AddFile("payload.txt", "first\r\nsecond\r\n");
  Product p("varsources");
  const std::string source = "Software\\EkTest source " + p.guid();
  const std::string lm = "HKLM\\" + source;
  regKeys_.push_back(lm);
  regKeys32_.push_back(lm);
  RegAdd(lm + "\\Product", "Version", "REG_SZ", "4.5.6");
  RegAdd(lm + "\\Product", "Version", "REG_SZ", "from the 32-bit view", true);
  RegAdd(lm + "\\Product", "Count", "REG_DWORD", "7");
  for (const char* v : {"1.2", "1.10", "1.9"}) RegAdd(lm + "\\Product\\Versions\\" + v, "x", "REG_SZ", "");
  p.AddConfigFile("values.ini", "[Main]\r\nName=From INI\r\nPort=8080\r\n");
  p.AddConfigFile("lines.txt", "zero\r\none\r\ntwo\r\n");
  const std::vector<std::string> records = {
      Var("<RegStr>", lm + "\\Product", "Version", "STRING", "none", "64-BIT"),
      Var("<Reg32>", lm + "\\Product", "Version", "STRING", "none"),
      Var("<RegNum>", lm + "\\Product", "Count", "INTEGER", "none", "Default"),
      Var("<MaxKey>", lm + "\\Product\\Versions", "GETMAXREGKEY", "STRING", "none", "64-BIT"),
      Var("<IniName>", "<SetupTempDir>\\values.ini", "Main;Name", "STRING", "none"),
      Var("<IniPort>", "<SetupTempDir>\\values.ini", "Main;Port", "INTEGER", "none"),
      Var("<Line2>", "<SetupTempDir>\\lines.txt", "2", "STRING", "none"),
      Var("<UrlLine>", "GETURL", server.Url("files/version.txt"), "STRING", "none"),
      Var("<UrlMissing>", "GETURL", server.Url("files/missing.txt"), "STRING", "kept"),
      Var("<UrlDropped>", "GETURL", server.Url("drop"), "STRING", "kept"),
      Var("<Fetched>", "GETFILE", server.Url("files/payload.txt"), "STRING", "0"),
      Var("<FetchedLine>", "<SetupTempDir>\\ektempfile.txt", "1", "STRING", "none"),
      Var("<Typed>", "INPUTBOX", "Your name?", "STRING", "nobody"),
      Var("<Picked>", "SELECTFILE", "Pick a file", "STRING", "no file"),
      Var("<Folder>", "SELECTDIR", "", "STRING", "C:\\Default dir"),
      Var("<Fallback>", lm + "\\Nothing", "X", "STRING", "MSG(Not found)[fallback]"),
      Var("<QueryText>", "HKXX", "", "STRING", "Preset user"),
      Var("<Chained>", "HKXX", "", "STRING", "<RegStr>-<IniName>"),
  };
  const std::string pkg = Package(p, "", records,
                                  {"<RegStr>", "<Reg32>", "<RegNum>", "<MaxKey>", "<IniName>", "<IniPort>", "<Line2>",
                                   "<UrlLine>", "<UrlMissing>", "<UrlDropped>", "<Fetched>", "<FetchedLine>",
                                   "<Typed>", "<Picked>", "<Folder>", "<Fallback>", "<QueryText>", "<Chained>"});
  RunResult r = RunSetup(pkg, {{"/S", "/L"}});
  ASSERT_EQ(r.exitCode, 0) << ReadSetupLog();
  EXPECT_TRUE(r.dialogs.empty()) << r.dialogs[0];
  const std::map<std::string, std::string> want = {
      {"RegStr", "4.5.6"},       {"Reg32", "from the 32-bit view"}, {"RegNum", "7"},
      {"MaxKey", "1.10"},        {"IniName", "From INI"},          {"IniPort", "8080"},
      {"Line2", "two"},          {"UrlLine", "7.8.9"},             {"UrlMissing", "kept"},
      {"UrlDropped", "kept"},    {"Fetched", "1"},                 {"FetchedLine", "second"},
      {"Typed", "nobody"},       {"Picked", "no file"},            {"Folder", "C:\\Default dir"},
      {"Fallback", "fallback"},  {"QueryText", "Preset user"},     {"Chained", "4.5.6-From INI"},
  };
  EXPECT_EQ(Written(), want);
  // The failures are in the log; the setup itself went well.
  EXPECT_TRUE(LogHasLine("Unable to read URL: " + server.Url("files/missing.txt")));
  EXPECT_TRUE(LogHasLine("Cause=The server answered with the status 404."));
  EXPECT_TRUE(LogHasLine("Cause=The connection closed before the server answered."));
  EXPECT_TRUE(LogHasLine("CompletedWithError=0"));
  // The agent is the setup file's name; no cache on the way.
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  for (const auto& line : requests) EXPECT_TRUE(Contains(line, " agent=setup.exe pragma=no-cache")) << line;
}

TEST_F(Variables, UrlTextByLineSwitches) {
  HttpServer server;
  server.AddFile("lines.txt", "  a \r\n b \r\n");
  struct Case {
    const char* switches;
    const char* want;
  } cases[] = {
      {"", "a"},                         // the first line, trimmed
      {"-geturlall", "a \\r\\n b"},      // every line, trimmed as a whole
      {"-geturlremnl", "a  b"},          // no line breaks at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.switches);
    Product p("varurl");
    const std::string pkg = Package(p, std::string("SetupParameters=") + c.switches + "\r\n",
                                    {Var("<Text>", "GETURL", server.Url("files/lines.txt"), "STRING", "none")}, {"<Text>"});
    ASSERT_EQ(RunSetup(pkg, {{"/S"}}).exitCode, 0);
    EXPECT_EQ(Written()["Text"], c.want);
  }
}

TEST_F(Variables, HaltDefaultEndsTheSetupWhenNothingIsFound) {
  // Silent: no box, exit code 5, nothing installed.
  Product quiet("varhalt");
  const std::string pkg = Package(quiet, "", {Var("<V>", "HKLM\\Software\\EkTest nothing", "X", "STRING", "HALT(No licence found)")},
                                  {"<V>"});
  RunResult r = RunSetup(pkg, {{"/S", "/L"}});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_TRUE(r.dialogs.empty());
  EXPECT_TRUE(LogHasLine("ExitCode=5")) << ReadSetupLog();
  EXPECT_FALSE(Exists(quiet.installDirUnix()));
  EXPECT_TRUE(Written().empty());

  // With a window: the message first (the product's name above it), then
  // the warning under the window's caption.
  Product shown("varhaltbox");
  const std::string boxed = Package(
      shown, "", {Var("<V>", "HKLM\\Software\\EkTest nothing", "X", "STRING", "MSG(Looked everywhere)[HALT(Cannot go on)]")},
      {"<V>"});
  r = RunSetup(boxed);
  EXPECT_EQ(r.exitCode, 5);
  ASSERT_EQ(r.dialogs.size(), 2u);
  EXPECT_EQ(r.dialogs[0], "EkTest varhaltbox 1.0.0\tLooked everywhere");
  EXPECT_EQ(r.dialogs[1], "EkTest varhaltbox 1.0.0 Setup\tCannot go on");
  EXPECT_FALSE(Exists(shown.installDirUnix()));
}

TEST_F(Variables, ScrambledPackageBehavesLikeItsPlainTwin) {
  HttpServer server;
  server.AddFile("v.txt", "3.2.1\r\n");
  std::map<std::string, std::string> results[2];
  for (int scrambled = 0; scrambled < 2; ++scrambled) {
    Product p(scrambled ? "varscrambled" : "varplain");
    p.AddConfigFile("values.ini", "[Main]\r\nName=Twin value\r\n");
    const std::string pkg =
        Package(p, "",
                {Var("<Ini>", "<SetupTempDir>\\values.ini", "Main;Name", "STRING", "none"),
                 Var("<Url>", "GETURL", server.Url("files/v.txt"), "STRING", "none"),
                 Var("<Reg>", "HKCU\\Software\\EkTest no such key", "Missing", "STRING", "Default #42", "64-BIT"),
                 Var("<ComboBox>", "HKXX", "", "STRING", "Blue")},
                {"<Ini>", "<Url>", "<Reg>", "<ComboBox>"}, scrambled == 1);
    ASSERT_EQ(RunSetup(pkg, {{"/S"}}).exitCode, 0);
    results[scrambled] = Written();
  }
  EXPECT_EQ(results[0]["Ini"], "Twin value");
  EXPECT_EQ(results[0]["Url"], "3.2.1");
  EXPECT_EQ(results[0]["Reg"], "Default #42");
  EXPECT_EQ(results[0]["ComboBox"], "Blue");
  EXPECT_EQ(results[1], results[0]);
}

TEST_F(Variables, DeferredToTheFirstActivationTheyStillChooseTheFolder) {
  Product p("vardefer");
  const std::string dir = "C:\\EkTest deferred " + p.guid().substr(1, 8);
  installDir_ = "<Target>";
  const std::string pkg = Package(p, "SetupParameters=-varonactivate\r\n",
                                  {Var("<Target>", "HKXX", "", "STRING", dir)}, {"<Target>"});
  cleanup_.push_back(UnixPath(dir));
  ASSERT_EQ(RunSetup(pkg, {{"/S"}}).exitCode, 0);
  EXPECT_TRUE(Exists(UnixPath(dir) + "/readme.txt"));
  EXPECT_EQ(Written()["Target"], dir);
}

TEST_F(Variables, TheWindowAnswersWhileASlowServerSends) {
  HttpServer server;
  std::string body;
  for (int i = 0; i < 200; ++i) body += "line " + std::to_string(i) + "\r\n";
  server.AddFile("slow.txt", body);
  Product p("varslow");
  const std::string pkg = Package(
      p, "SetupParameters=-geturlremnl\r\n",
      {Var("<Slow>", "GETURL", server.Url("slow/slow.txt?pieces=20&ms=200"), "STRING", "none")}, {"<Slow>"});
  RunOptions o;
  o.args = {"/S"};
  o.alongside = {"responsive", "60"};
  RunResult r = RunSetup(pkg, o);
  ASSERT_EQ(r.exitCode, 0);
  std::string joined = body;
  joined.erase(std::remove(joined.begin(), joined.end(), '\r'), joined.end());
  joined.erase(std::remove(joined.begin(), joined.end(), '\n'), joined.end());
  EXPECT_EQ(Written()["Slow"], joined);
  // About four seconds of body: the window answered throughout. A window
  // that waited for the body would leave its asker without an answer for
  // two seconds ("none"); a busy machine may delay an answer a little.
  ASSERT_GE(r.alongside.size(), 20u);
  long slowest = 0;
  for (const auto& line : r.alongside) {
    ASSERT_NE(line, "latency=none");
    slowest = std::max(slowest, std::stol(line.substr(line.find('=') + 1)));
  }
  EXPECT_LT(slowest, 1500);
}

TEST_F(Variables, AServerThatFallsSilentFailsAfterItsTimeLimit) {
  HttpServer server;
  Product p("varstall");
  const std::string pkg = Package(p, "", {Var("<Stalled>", "GETURL", server.Url("stall"), "STRING", "kept")}, {"<Stalled>"});
  RunOptions o;
  o.args = {"/S", "/L"};
  o.timeoutSec = 120;
  RunResult r = RunSetup(pkg, o);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(Written()["Stalled"], "kept");
  EXPECT_TRUE(LogHasLine("Cause=The server sent nothing for 30 seconds.")) << ReadSetupLog();
  EXPECT_GE(r.seconds, 30);
  EXPECT_LT(r.seconds, 60);
}

}  // namespace
