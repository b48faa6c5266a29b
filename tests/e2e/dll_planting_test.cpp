// DLL planting: a setup file runs from a Downloads folder next to whatever
// else was downloaded there, and the uninstaller copies itself to the
// temporary folder. A DLL that carries the name of one Windows would load for
// the program must not be taken from beside it. The planted DLL leaves a
// marker "<name>.loaded" beside itself when anything loads it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// Names under which Wine takes a DLL from the program's folder when it is
// asked for by name (its own copies of the others win). shcore.dll is the
// one a program gets without asking: shell32 needs it, and a program that
// imports shell32 binds it before its first instruction runs.
const char* const kTakenByName[] = {"shcore.dll",  "dwmapi.dll",  "msftedit.dll", "propsys.dll",
                                    "userenv.dll", "profapi.dll", "cryptbase.dll", "msctf.dll",
                                    "apphelp.dll", "wldp.dll",    "textinputframework.dll", "uiautomationcore.dll"};
// DLLs that the programs once imported; Windows looks for them beside the
// program first.
const char* const kOnceImported[] = {"version.dll", "zlib1.dll", "oleacc.dll", "msimg32.dll"};

template <typename F>
void ForEachPlanted(F f) {
  for (const char* name : kTakenByName) f(std::string(name));
  for (const char* name : kOnceImported) f(std::string(name));
}

std::string PlantedDll() { return BuildDir() + "/bin/ekplanted.dll"; }

void Plant(const std::string& folder) {
  fs::create_directories(folder);
  ForEachPlanted([&](const std::string& name) {
    fs::copy_file(PlantedDll(), folder + "/" + name, fs::copy_options::overwrite_existing);
  });
}

void Unplant(const std::string& folder) {
  ForEachPlanted([&](const std::string& name) {
    RemoveAll(folder + "/" + name);
    RemoveAll(folder + "/" + name + ".loaded");
  });
}

// The markers in a folder: which planted DLLs something loaded.
std::set<std::string> Markers(const std::string& folder) {
  std::set<std::string> out;
  for (const auto& n : ListDir(folder))
    if (n.size() > 7 && n.compare(n.size() - 7, 7, ".loaded") == 0) out.insert(n.substr(0, n.size() - 7));
  return out;
}

std::string Join(const std::set<std::string>& s) {
  std::string out;
  for (const auto& x : s) out += x + " ";
  return out;
}

// The names of the DLLs a PE file imports (its import directory).
std::vector<std::string> ImportedDlls(const std::string& exe) {
  const std::string b = ReadFile(exe);
  auto u16 = [&](size_t o) { return o + 2 <= b.size() ? uint32_t(uint8_t(b[o])) | uint32_t(uint8_t(b[o + 1])) << 8 : 0u; };
  auto u32 = [&](size_t o) { return o + 4 <= b.size() ? u16(o) | u16(o + 2) << 16 : 0u; };
  std::vector<std::string> out;
  const size_t pe = u32(0x3C);
  if (b.compare(pe, 4, std::string("PE\0\0", 4)) != 0 || u16(pe + 24) != 0x20B) return out;  // PE32+ only
  const size_t sections = u16(pe + 6), optional = pe + 24, table = optional + u16(pe + 20);
  auto offsetOf = [&](uint32_t rva) -> size_t {
    for (size_t i = 0; i < sections; ++i) {
      const size_t s = table + i * 40;
      const uint32_t va = u32(s + 12), size = std::max(u32(s + 8), u32(s + 16)), raw = u32(s + 20);
      if (rva >= va && rva < va + size) return raw + (rva - va);
    }
    return std::string::npos;
  };
  const uint32_t importRva = u32(optional + 112 + 8);  // data directory 1
  size_t d = offsetOf(importRva);
  for (; d != std::string::npos && d + 20 <= b.size() && u32(d + 12) != 0; d += 20) {
    const size_t name = offsetOf(u32(d + 12));
    if (name == std::string::npos) break;
    out.push_back(b.c_str() + name);
  }
  return out;
}

class DllPlanting : public SetupRunTest {
 protected:
  void TearDown() override {
    Unplant(TempUnix());
    SetupRunTest::TearDown();
  }
};

TEST_F(DllPlanting, ProgramsImportOnlyDllsWindowsNeverTakesFromBesideThem) {
  // Known DLLs of Windows (and the common controls, which the manifest binds
  // to the system's side-by-side copy); their imports bring in nothing from
  // the program's folder. Everything else is loaded at run time from the
  // system folder.
  const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL",    "ADVAPI32.DLL",
                                         "MSVCRT.DLL",   "OLE32.DLL",  "OLEAUT32.DLL", "COMCTL32.DLL"};
  for (const std::string& exe : {EnginePath(), UninstallerPath()}) {
    const auto dlls = ImportedDlls(exe);
    ASSERT_FALSE(dlls.empty()) << exe;
    for (std::string dll : dlls) {
      for (auto& c : dll) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_TRUE(allowed.count(dll)) << exe << " imports " << dll;
    }
  }
}

TEST_F(DllPlanting, DllsBesideTheSetupFileAndTheUninstallerAreNotLoaded) {
  // The control: a program that loads DLLs the ordinary way takes every
  // planted one from its own folder, shcore.dll through shell32.
  const std::string control = BuildDir() + "/e2e-work/planting-control";
  RemoveAll(control);
  cleanup_.push_back(control);
  Plant(control);
  fs::copy_file(ProbePath(), control + "/ekprobe.exe");
  WineOutput({WinPath(control + "/ekprobe.exe"), "loadlib", "shell32.dll"});
  EXPECT_TRUE(Markers(control).count("shcore.dll")) << "shell32 did not bring in the planted shcore.dll";
  for (const char* name : kTakenByName) WineOutput({WinPath(control + "/ekprobe.exe"), "loadlib", name});
  const std::set<std::string> taken = Markers(control);
  for (const char* name : kTakenByName) EXPECT_TRUE(taken.count(name)) << name << " was not taken even without protection";

  // Setup files in a Downloads folder full of planted DLLs: a silent
  // installation that also compares file versions, and an interactive one.
  const std::string downloads = BuildDir() + "/e2e-work/planting-downloads";
  RemoveAll(downloads);
  cleanup_.push_back(downloads);
  Plant(downloads);
  Product p("planting");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n");
  p.AddPayload("tool.exe", ReadFile(EnginePath()));
  p.AddRecord("tool.exe|<InstallDir>\\tool.exe|21");
  fs::copy_file(p.Build(), downloads + "/setupa.exe");
  cleanup_.push_back(p.installDirUnix());
  WriteFile(p.installDirUnix() + "/tool.exe", ReadFile(EnginePath()));  // versions are compared
  Product q("plantingui");
  q.AddEnglish();
  q.AddPayload("readme.txt", "read me\r\n");
  q.AddRecord("readme.txt|<InstallDir>\\readme.txt|11");
  fs::copy_file(q.Build(), downloads + "/setupb.exe");
  cleanup_.push_back(q.installDirUnix());
  ClearSetupLog();
  EXPECT_EQ(RunSetup(downloads + "/setupa.exe", {{"/S"}}).exitCode, 0);
  RunOptions interactive;
  interactive.pressInstall = true;
  EXPECT_EQ(RunSetup(downloads + "/setupb.exe", interactive).exitCode, 0);
  EXPECT_TRUE(Exists(q.installDirUnix() + "/readme.txt"));
  EXPECT_TRUE(Markers(downloads).empty()) << "loaded by the setup: " << Join(Markers(downloads));

  // The uninstaller beside planted DLLs, and its copy in a temporary folder
  // that holds them too.
  const std::string installed = p.installDirUnix();
  ASSERT_TRUE(Exists(installed + "/Uninstall.exe"));
  Plant(installed);
  Plant(TempUnix());
  RunResult u = RunWine(installed + "/Uninstall.exe", {{"/S"}});
  EXPECT_EQ(u.exitCode, 0);
  for (int i = 0; i < 100 && Exists(TempUnix() + "/Uninstall.exe"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(Markers(installed).empty()) << "loaded by the uninstaller: " << Join(Markers(installed));
  EXPECT_TRUE(Markers(TempUnix()).empty()) << "loaded by the uninstaller's copy: " << Join(Markers(TempUnix()));
}

}  // namespace
