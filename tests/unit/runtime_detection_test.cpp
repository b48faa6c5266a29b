// The runtime detectors against registry layouts written below a private key
// of HKEY_LOCAL_MACHINE (both views) and against real files: nothing
// installed, older, exactly the required version, newer, a value of the
// wrong type, and the entry in the other registry view.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "actions/runtime_detection.h"
#include "base/result.h"
#include "config/utilities.h"
#include "platform/registry.h"
#include "setup_fixture.h"

using namespace ek;
using platform::RegView;

namespace {

// One value of a layout: view, key (below the private base), name, data.
struct Entry {
  RegView view;
  std::wstring key;
  std::wstring name;
  std::variant<std::wstring, uint32_t> data;
};
using Layout = std::vector<Entry>;

std::wstring BinFolder() { return FolderPart(platform::ModulePath()); }

struct IndexCase {
  const char* what;
  Layout layout;
  int expected;
};

constexpr RegView k64 = RegView::View64;
constexpr RegView k32 = RegView::View32;

class RuntimeDetection : public test::SetupStateTest {
 protected:
  void SetUp() override {
    test::SetupStateTest::SetUp();
    LoadConfig(L"[Setup]\r\n");
    base_ = L"SOFTWARE\\EkTest" + NewGuidText();
  }
  void TearDown() override {
    Clear();
    test::SetupStateTest::TearDown();
  }

  void Clear() {
    for (RegView v : {k64, k32}) EXPECT_TRUE(platform::DeleteKeyTree(platform::RegRoot::LocalMachine, base_, v));
  }
  // Replaces whatever the last layout wrote.
  void Write(const Layout& layout) {
    Clear();
    for (const auto& e : layout) {
      platform::RegKey k;
      ASSERT_TRUE(k.Create(platform::RegRoot::LocalMachine, base_ + L"\\" + e.key, e.view));
      if (e.name == L"<key>") continue;  // the key alone
      if (auto* s = std::get_if<std::wstring>(&e.data)) ASSERT_TRUE(k.WriteString(e.name, *s));
      else ASSERT_TRUE(k.WriteDword(e.name, std::get<uint32_t>(e.data)));
    }
  }
  MachineRegistry Reg() const { return MachineRegistry(base_); }
  void ExpectIndexes(int (*detector)(const MachineRegistry&), const std::vector<IndexCase>& cases) {
    for (const auto& c : cases) {
      Write(c.layout);
      EXPECT_EQ(detector(Reg()), c.expected) << c.what;
    }
  }

  std::wstring base_;
};

Entry Key(RegView view, std::wstring key) { return Entry{view, std::move(key), L"<key>", uint32_t{0}}; }
std::wstring Text(const wchar_t* t) { return t; }


TEST_F(RuntimeDetection, DotNetRuntimesAndFramework) {
  const std::wstring desktop = L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.WindowsDesktop.App";
  const std::wstring core = L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.NETCore.App";
  const std::wstring ndp = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";
  struct Case {
    const char* what;
    Layout layout;
    int desktopIndex;
    int coreIndex;
  } cases[] = {
      {"nothing installed", {}, -1, -1},
      {"desktop runtime 8", {{k32, desktop, L"8.0.1", 1u}}, 10, -1},
      {"core runtime 8 counts only for -netruntime", {{k32, core, L"8.0.1", 1u}}, -1, 10},
      {"greatest major wins", {{k32, desktop, L"5.0.17", 1u}, {k32, desktop, L"7.0.2", 1u}, {k32, desktop, L"6.0.1", 1u}}, 9, -1},
      {"5 and 6", {{k32, desktop, L"5.0.0", 1u}}, 7, -1},
      {"6", {{k32, desktop, L"6.0.36", 1u}}, 8, -1},
      {"9 and newer", {{k32, desktop, L"10.0.1", 1u}}, 11, -1},
      {"a flag other than 1", {{k32, desktop, L"8.0.1", 0u}}, -1, -1},
      {"a string value is skipped", {{k32, desktop, L"8.0.1", std::wstring(L"1")}}, -1, -1},
      {"runtime 4 has no entry", {{k32, desktop, L"4.0.0", 1u}}, -1, -1},
      {"the runtimes are read in the 32-bit view only", {{k64, desktop, L"8.0.1", 1u}}, -1, -1},
      {"framework 4.8", {{k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", 528040u}}, 6, 6},
      {"a later 4.8 release", {{k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", 533325u}}, 6, 6},
      {"exactly 4.7.2", {{k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", 461808u}}, 5, 5},
      {"just below 4.7.2", {{k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", 461807u}}, 4, 4},
      {"exactly 4.6", {{k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", 393295u}}, 0, 0},
      {"older than 4.6", {{k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", 379893u}}, -1, -1},
      {"no release number", {{k64, ndp, L"Install", 1u}}, -1, -1},
      {"not installed", {{k64, ndp, L"Install", 0u}, {k64, ndp, L"Release", 528040u}}, -1, -1},
      {"release as text", {{k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", std::wstring(L"528040")}}, -1, -1},
      {"framework in the 32-bit view", {{k32, ndp, L"Install", 1u}, {k32, ndp, L"Release", 528040u}}, -1, -1},
      {"a newer runtime wins over the framework",
       {{k32, desktop, L"6.0.1", 1u}, {k64, ndp, L"Install", 1u}, {k64, ndp, L"Release", 528040u}}, 8, 6},
  };
  for (const auto& c : cases) {
    Write(c.layout);
    EXPECT_EQ(DetectDotNet(Reg(), false).index, c.desktopIndex) << c.what;
    EXPECT_EQ(DetectDotNet(Reg(), true).index, c.coreIndex) << c.what;
  }
  // The framework's folder gives the assembly registration tool, also when a
  // newer runtime decides the index.
  Write({{k32, desktop, L"8.0.1", 1u}, {k64, ndp, L"InstallPath", std::wstring(L"C:\\Windows\\Microsoft.NET\\Framework64\\v4.0.30319\\")}});
  const DotNetDetection d = DetectDotNet(Reg(), false);
  EXPECT_EQ(d.index, 10);
  EXPECT_EQ(d.regAsmPath, L"C:\\Windows\\Microsoft.NET\\Framework64\\v4.0.30319\\RegAsm.exe");
}

TEST_F(RuntimeDetection, AcrobatReader) {
  test::ScratchFolder dc(L"reader");
  // A program of ours with a version resource (1.0.0.0) plays the Reader.
  ASSERT_TRUE(platform::CopyFileTo(BinFolder() + L"\\Setup.exe", dc.path() + L"\\AcroRd32.exe", true));
  const std::wstring version = L"1.0.0.0";
  test::ScratchFolder noVersion(L"reader-plain");
  noVersion.Write(L"AcroRd32.exe", L"not a program");
  test::ScratchFolder empty(L"reader-empty");

  const std::wstring reader = L"SOFTWARE\\Adobe\\Acrobat Reader";
  const std::wstring installPath = reader + L"\\DC\\InstallPath";
  struct Case {
    const char* what;
    Layout layout;
    std::wstring expected;
  } cases[] = {
      {"nothing installed", {}, L"0"},
      {"DC with its program", {Key(k64, reader + L"\\DC"), {k64, installPath, L"", dc.path() + L"\\"}}, version},
      {"DC whose program has no version", {{k64, installPath, L"", noVersion.path()}}, L"15"},
      {"DC without its program: the numbered keys",
       {{k64, installPath, L"", empty.path()}, Key(k64, reader + L"\\9.0")}, L"9.0"},
      {"a year keeps its last two digits", {Key(k64, reader + L"\\9.0"), Key(k64, reader + L"\\2017")}, L"17"},
      {"the greatest number", {Key(k64, reader + L"\\11.0"), Key(k64, reader + L"\\9.0")}, L"11.0"},
      {"names that are no numbers are skipped", {Key(k64, reader + L"\\DC"), Key(k64, reader + L"\\Beta")}, L"0"},
      {"the 32-bit view is not the native one", {Key(k32, reader + L"\\11.0")}, L"0"},
  };
  for (const auto& c : cases) {
    Write(c.layout);
    EXPECT_EQ(AcrobatReaderVersion(Reg()), c.expected) << c.what;
  }
}

TEST_F(RuntimeDetection, Java) {
  const std::wstring jre = L"SOFTWARE\\JavaSoft\\JRE", jdk = L"SOFTWARE\\JavaSoft\\JDK";
  const std::wstring oldJre = L"SOFTWARE\\JavaSoft\\Java Runtime Environment";
  const std::wstring oldJdk = L"SOFTWARE\\JavaSoft\\Java Development Kit";
  struct Case {
    const char* what;
    Layout layout;
    const wchar_t* all;
    const wchar_t* jreOnly;
  } cases[] = {
      {"nothing installed", {}, L"0", L"0"},
      {"runtime 17", {{k64, jre, L"CurrentVersion", std::wstring(L"17")}}, L"17", L"17"},
      {"the development kit replaces the runtime",
       {{k64, jre, L"CurrentVersion", std::wstring(L"17")}, {k64, jdk, L"CurrentVersion", std::wstring(L"21")}}, L"21", L"17"},
      {"old key 1.8", {{k64, oldJre, L"CurrentVersion", std::wstring(L"1.8")}}, L"8", L"8"},
      {"old development kit only", {{k64, oldJdk, L"CurrentVersion", std::wstring(L"1.7")}}, L"7", L"0"},
      {"new keys win over old ones",
       {{k64, jre, L"CurrentVersion", std::wstring(L"11")}, {k64, oldJre, L"CurrentVersion", std::wstring(L"1.8")}}, L"11", L"11"},
      {"a number value is no version", {{k64, jre, L"CurrentVersion", 17u}}, L"0", L"0"},
      {"the 32-bit view is not read", {{k32, jre, L"CurrentVersion", std::wstring(L"17")}}, L"0", L"0"},
  };
  for (const auto& c : cases) {
    Write(c.layout);
    EXPECT_EQ(JavaVersionText(Reg(), false), c.all) << c.what;
    EXPECT_EQ(JavaVersionText(Reg(), true), c.jreOnly) << c.what;
  }
}

TEST_F(RuntimeDetection, SqlServerCompact) {
  const std::wstring v35 = L"SOFTWARE\\Microsoft\\Microsoft SQL Server Compact Edition\\v3.5\\ENU";
  const std::wstring v40 = L"SOFTWARE\\Microsoft\\Microsoft SQL Server Compact Edition\\v4.0\\ENU";
  ExpectIndexes(SqlCompactIndex, {
      {"nothing installed", {}, -1},
      {"3.5", {{k64, v35, L"DesktopRuntimeVersion", std::wstring(L"3.5.5692.0")}}, 0},
      {"3.5 SP1 (level as text)",
       {{k64, v35, L"DesktopRuntimeVersion", std::wstring(L"3.5.5692.0")}, {k64, v35, L"DesktopRuntimeServicePackLevel", std::wstring(L"1")}}, 1},
      {"3.5 SP2 (level as number)",
       {{k64, v35, L"DesktopRuntimeVersion", std::wstring(L"3.5.8080.0")}, {k64, v35, L"DesktopRuntimeServicePackLevel", 2u}}, 2},
      {"older than 3.5", {{k64, v35, L"DesktopRuntimeVersion", std::wstring(L"3.1.0")}}, -1},
      {"4.0", {{k64, v40, L"DesktopRuntimeVersion", std::wstring(L"4.0.8876.1")}}, 3},
      {"4.0 beside 3.5",
       {{k64, v35, L"DesktopRuntimeVersion", std::wstring(L"3.5.1")}, {k64, v40, L"DesktopRuntimeVersion", std::wstring(L"4.0.1")}}, 3},
      {"the 32-bit view is not read", {{k32, v40, L"DesktopRuntimeVersion", std::wstring(L"4.0.8876.1")}}, -1},
  });
}

TEST_F(RuntimeDetection, SqlServerExpress) {
  const std::wstring s = L"SOFTWARE\\Microsoft\\Microsoft SQL Server\\";
  const std::wstring instance = s + L"SQLEXPRESS\\MSSQLServer\\CurrentVersion";
  ExpectIndexes(SqlExpressIndex, {
      {"nothing installed", {}, -1},
      {"instance 2005", {{k64, instance, L"CurrentVersion", Text(L"9.00.1399.06")}}, 0},
      {"instance 2005 SP2", {{k64, instance, L"CurrentVersion", Text(L"9.00.3042.00")}}, 2},
      {"instance 2008", {{k64, instance, L"CurrentVersion", Text(L"10.0.1600.22")}}, 5},
      {"instance 2008 R2", {{k64, instance, L"CurrentVersion", Text(L"10.50.1600.1")}}, 9},
      {"instance 2008 R2 SP2", {{k64, instance, L"CurrentVersion", Text(L"10.50.4000.0")}}, 11},
      {"instance 2012 SP1", {{k64, instance, L"CurrentVersion", Text(L"11.00.3000.00")}}, 13},
      {"instance 2014", {{k64, instance, L"CurrentVersion", Text(L"12.0.2000.8")}}, 14},
      {"instance 2019", {{k64, instance, L"CurrentVersion", Text(L"15.0.2000.5")}}, 17},
      {"instance newer than 2022", {{k64, instance, L"CurrentVersion", Text(L"17.0.1")}}, 18},
      {"instance without a version goes on to the releases",
       {Key(k64, instance), {k64, s + L"150\\Tools\\ClientSetup\\CurrentVersion", L"CurrentVersion", Text(L"15.0.2000.5")}}, 17},
      {"2022: the value's existence suffices",
       {{k64, s + L"160\\Tools\\ClientSetup\\CurrentVersion", L"CurrentVersion", 1u}}, 18},
      {"2017 from the server key", {{k64, s + L"140\\SQLServer2017\\CurrentVersion", L"Version", Text(L"14.0.1000.169")}}, 16},
      {"a release key with another version", {{k64, s + L"130\\Tools\\ClientSetup\\CurrentVersion", L"CurrentVersion", Text(L"12.0.1")}}, -1},
      {"2012 SP1", {{k64, s + L"110\\SQLServer2012\\CurrentVersion", L"Version", Text(L"11.0.3000.0")}}, 13},
      {"2008 from its server key", {{k64, s + L"100\\SQLServer2008\\CurrentVersion", L"CurrentVersion", Text(L"10.50.2500.0")}}, 10},
      {"2005 SP4 tools", {{k64, s + L"90\\Tools\\ClientSetup\\CurrentVersion", L"CurrentVersion", Text(L"9.00.5000.00")}}, 4},
      {"the 32-bit view is not read", {{k32, instance, L"CurrentVersion", Text(L"15.0.2000.5")}}, -1},
  });
}

TEST_F(RuntimeDetection, VisualCppRuntimes) {
  const std::wstring vs = L"SOFTWARE\\Microsoft\\VisualStudio";
  const std::wstring runtimes = vs + L"\\14.0\\VC\\Runtimes\\";
  ExpectIndexes(VcRuntimeIndex, {
      {"nothing installed", {}, -1},
      {"2022", {{k64, runtimes + L"x64", L"Version", Text(L"v14.38.33130.00")}}, 6},
      {"2019", {{k64, runtimes + L"x64", L"Version", Text(L"v14.29.30133.00")}}, 5},
      {"2017", {{k64, runtimes + L"x64", L"Version", Text(L"V14.16.27033.00")}}, 4},
      {"2015", {{k64, runtimes + L"x64", L"Version", Text(L"14.0.24215.01")}}, 3},
      {"a later 14.x counts as the newest", {{k64, runtimes + L"x64", L"Version", Text(L"v14.50.1")}}, 6},
      {"the family's key without a version", {Key(k64, runtimes + L"x64")}, 3},
      {"a version stored as a number", {{k64, runtimes + L"x64", L"Version", 14u}}, 3},
      {"only 2010", {Key(k64, vs + L"\\10.0\\VC\\VCRedist\\x64")}, 0},
      {"2013 and 2010", {Key(k64, vs + L"\\10.0\\VC\\VCRedist\\x64"), Key(k64, vs + L"\\12.0\\VC\\Runtimes\\x64")}, 2},
      {"the x86 runtime is not the engine's", {{k64, runtimes + L"x86", L"Version", Text(L"v14.38.1")}}, -1},
      {"ia64 when x64 is missing", {{k64, runtimes + L"ia64", L"Version", Text(L"v14.29.1")}}, 5},
      {"the 32-bit view is not the native one", {{k32, runtimes + L"x64", L"Version", Text(L"v14.38.1")}}, -1},
  });
}

TEST(RuntimeRules, MajorVersionAtLeast) {
  struct Case {
    const wchar_t* installed;
    const wchar_t* required;
    bool expected;
  } cases[] = {
      {L"17", L"8", true},       {L"8", L"8", true},          {L"7", L"8", false},
      {L"11.0", L"9.0", true},   {L"9.0", L"11.0", false},    {L"0", L"5.0", false},
      {L"23.1.20064.0", L"DC 2021", true},                     {L"20.1", L"DC 2021", false},
      {L"10.1.16", L"X (10.0)", true},                         {L"15", L"XI (11.0)", true},
      {L"abc", L"1", false},     {L"5", L"", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MajorVersionAtLeast(c.installed, c.required), c.expected) << c.installed << " " << c.required;
}

TEST(RuntimeRules, DisplayNames) {
  struct Case {
    Runtime runtime;
    const wchar_t* required;
    bool noPlatform;
    const wchar_t* expected;
  } cases[] = {
      {Runtime::DotNet, L"6", false, L".NET Framework 4.8 (x64)"},
      {Runtime::DotNet, L"10", false, L".NET 8.0 (x64)"},
      {Runtime::DotNet, L"6", true, L".NET Framework 4.8"},
      {Runtime::DotNet, L"40", false, L".NET (x64)"},
      {Runtime::AcrobatReader, L"DC 2021", false, L"Adobe Acrobat Reader DC 2021"},
      {Runtime::Java, L"17", false, L"Java (JRE) 17"},
      {Runtime::SqlCompact, L"2", false, L"SQL Server Compact 3.5 SP2"},
      {Runtime::SqlExpress, L"9", false, L"SQL Server Express 2008 R2 (x64)"},
      {Runtime::VisualCpp, L"6", false, L"Microsoft Visual C++ 2022 Redistributable Package (x64)"},
      {Runtime::VisualCpp, L"6", true, L"Microsoft Visual C++ 2022 Redistributable Package"},
      {Runtime::VisualCpp, L"7", false, L"Microsoft Visual C++ Redistributable Package (x64)"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RuntimeDisplayName(c.runtime, c.required, true, c.noPlatform), c.expected) << c.expected;
  EXPECT_EQ(RuntimeDisplayName(Runtime::SqlExpress, L"18", false, false), L"SQL Server Express 2022 (x86)");
}

TEST_F(RuntimeDetection, FileVersionText) {
  test::ScratchFolder dir(L"version");
  EXPECT_EQ(ek::FileVersionText(BinFolder() + L"\\Setup.exe"), L"1.0.0.0");
  EXPECT_EQ(ek::FileVersionText(dir.Write(L"plain.txt", L"no resource")), L"");
  EXPECT_EQ(ek::FileVersionText(dir.path() + L"\\missing.exe"), L"");
  EXPECT_EQ(ek::FileVersionText(dir.path()), L"");  // a folder
}

}  // namespace
