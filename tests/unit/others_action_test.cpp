#include <gtest/gtest.h>

#include "base/result.h"
#include "action_fixture.h"
#include "config/variables.h"
#include "base/font_name.h"
#include "install/others_action.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace ek {
namespace {

using platform::RegKey;
using platform::RegRoot;
using test::ScratchFolder;
constexpr platform::RegView kView = platform::RegView::View64;
const std::wstring kFontsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// A minimal sfnt file: the offset table, one "name" table, its records.
struct NameRecord {
  uint16_t platform, encoding, language, nameId;
  std::wstring text;
};
// `base` is where the font starts in its file (table offsets count from the file's start).
std::string Sfnt(uint32_t version, const std::vector<NameRecord>& records, uint32_t base = 0) {
  auto u16 = [](std::string& s, uint32_t v) { s += char(v >> 8), s += char(v & 0xFF); };
  auto u32 = [&](std::string& s, uint32_t v) { u16(s, v >> 16), u16(s, v & 0xFFFF); };
  std::string strings, name;
  u16(name, 0), u16(name, static_cast<uint32_t>(records.size())), u16(name, 6 + 12 * static_cast<uint32_t>(records.size()));
  for (const auto& r : records) {
    std::string bytes;
    for (wchar_t c : r.text) {
      if (r.platform == 1) bytes += char(c);
      else u16(bytes, c);
    }
    u16(name, r.platform), u16(name, r.encoding), u16(name, r.language), u16(name, r.nameId);
    u16(name, static_cast<uint32_t>(bytes.size())), u16(name, static_cast<uint32_t>(strings.size()));
    strings += bytes;
  }
  name += strings;
  std::string font;
  u32(font, version), u16(font, 1), u16(font, 16), u16(font, 0), u16(font, 0);
  font += "name", u32(font, 0), u32(font, base + 28), u32(font, static_cast<uint32_t>(name.size()));
  return font + name;
}

TEST(FontNames, RegistryNameFromTheNameTable) {
  const std::vector<NameRecord> windows = {{1, 0, 0, 4, L"Mac Name"}, {3, 1, 0x407, 4, L"Deutsch"},
                                           {3, 1, 0x409, 1, L"Family"}, {3, 1, 0x409, 4, L"Ek Sans Bold"}};
  EXPECT_EQ(FontRegistryName(Sfnt(0x00010000, windows)), L"Ek Sans Bold (TrueType)");
  EXPECT_EQ(FontRegistryName(Sfnt(0x4F54544F, windows)), L"Ek Sans Bold (OpenType)");  // "OTTO"
  EXPECT_EQ(FontRegistryName(Sfnt(0x00010000, {{3, 0, 0x409, 4, L"Symbolic"}})), L"Symbolic (TrueType)");
  EXPECT_EQ(FontRegistryName(Sfnt(0x00010000, {{1, 0, 0, 4, L"Mac Only"}})), L"Mac Only (TrueType)");
  EXPECT_EQ(FontRegistryName(Sfnt(0x00010000, {{3, 1, 0x409, 1, L"Just Family"}})), L"Just Family (TrueType)");
  EXPECT_EQ(FontRegistryName(Sfnt(0x00010000, {{3, 1, 0x409, 2, L"Regular"}})), L"");
  // Collections name their first font.
  const std::string ttc = std::string("ttcf") + std::string("\0\1\0\0\0\0\0\1\0\0\0\x10", 12);
  EXPECT_EQ(FontRegistryName(ttc + Sfnt(0x00010000, windows, 16)), L"Ek Sans Bold (TrueType)");
  // Anything else, and every cut-off form of a good font, gives no name and no crash.
  EXPECT_EQ(FontRegistryName("not a font at all"), L"");
  const std::string good = Sfnt(0x00010000, windows);
  for (size_t n = 0; n < good.size(); ++n) EXPECT_EQ(FontRegistryName(good.substr(0, n)), L"") << n;
}

// A copy of one of Wine's scalable fonts (Wine skips bitmap-only ones) whose
// names are changed to a unique text of the same length, so that nothing
// else in the prefix knows the face.
std::wstring UniqueFont(const ScratchFolder& dir, std::wstring& face) {
  auto bytes = platform::ReadWholeFile(L"Z:\\usr\\share\\wine\\fonts\\webdings.ttf");
  if (!bytes) return L"";
  const std::string id = WideToUtf8(NewGuidText().substr(1, 5));
  const std::string from = "Webdings", to = "EkW" + id;
  std::string from16, to16;
  for (size_t i = 0; i < from.size(); ++i) from16 += std::string(1, '\0') + from[i], to16 += std::string(1, '\0') + to[i];
  for (const auto& [a, b] : {std::pair{from, to}, std::pair{from16, to16}})
    for (size_t p = bytes->find(a); p != std::string::npos; p = bytes->find(a, p + 1)) bytes->replace(p, a.size(), b);
  face = Utf8ToWide(to);
  const std::wstring path = dir.path() + L"\\" + face + L".ttf";
  return platform::WriteWholeFile(path, *bytes) ? path : L"";
}

class OthersAction : public test::ActionTest {};

TEST_F(OthersAction, FontAddedAndListedInTheFontsKey) {
  ScratchFolder dir(L"font");
  std::wstring face;
  const std::wstring font = UniqueFont(dir, face);
  ASSERT_FALSE(font.empty());
  ApplyOthersRecord(L"font*?" + font + L"*?Yes");
  EXPECT_FALSE(State().HadErrors) << LogText();
  RegKey k;
  ASSERT_TRUE(k.Open(RegRoot::LocalMachine, kFontsKey, kView, true));
  const std::wstring name = face + L" (TrueType)";
  EXPECT_EQ(k.ReadString(name), font);
  EXPECT_EQ(Entries(L"Fonts"), (std::vector<std::wstring>{font}));
  EXPECT_EQ(Entries(L"RegistryValues"), (std::vector<std::wstring>{L"6HKEY_LOCAL_MACHINE\\" + kFontsKey + L"*?" + name}));
  // Again with the flag "No": added, nothing recorded, the listed value kept.
  State().UninstallIni = std::make_unique<IniDocument>();
  ApplyOthersRecord(L"FONT*?" + font + L"*?No");
  EXPECT_TRUE(State().UninstallIni->Sections().empty());
  EXPECT_EQ(k.ReadString(name), font);
  Ignore(k.DeleteValue(name));
  while (platform::RemoveFont(font)) {
  }

  // A user without rights lists the font in his own key.
  State().AllUsers = false;
  State().IsAdmin = false;
  ApplyOthersRecord(L"FONT*?" + font + L"*?Yes");
  RegKey user;
  ASSERT_TRUE(user.Open(RegRoot::CurrentUser, kFontsKey, kView, true));
  EXPECT_EQ(user.ReadString(name), font);
  EXPECT_EQ(Entries(L"RegistryValues"), (std::vector<std::wstring>{L"6HKEY_CURRENT_USER\\" + kFontsKey + L"*?" + name}));
  Ignore(user.DeleteValue(name));
  while (platform::RemoveFont(font)) {
  }
}

TEST_F(OthersAction, MissingFilesAndFailedRegistrations) {
  ScratchFolder dir(L"others");
  const std::wstring junk = dir.Write(L"junk.ttf", L"not a font");
  struct Case {
    const wchar_t* kind;
    const wchar_t* notFound;
  } cases[] = {{L"FONT", L"Font file not found: "},
               {L"DLL/ActiveX", L"ActiveX file not found: "},
               {L".NET Assembly", L".NET Assembly file not found: "},
               {L"Type Library", L"TypeLibrary file not found: "},
               {L"ScreenSaver", L"ScreenSaver file not found: "}};
  for (const auto& c : cases) {
    State().HadErrors = false;
    const std::wstring missing = dir.path() + L"\\missing-" + ToText(&c - cases);
    ApplyOthersRecord(std::wstring(c.kind) + L"*?" + missing + L"*?Yes");
    EXPECT_TRUE(Logged(c.notFound + missing)) << c.kind << LogText();
    EXPECT_TRUE(State().HadErrors) << c.kind;
  }
  State().SetupLog.clear();
  ApplyOthersRecord(L"FONT*?" + junk + L"*?Yes");
  EXPECT_TRUE(Logged(L"Error registering font: " + junk)) << LogText();
  // regsvr32 reports the failure through its exit code.
  ApplyOthersRecord(L"DLL/ACTIVEX*?" + junk + L"*?Yes");
  EXPECT_TRUE(Logged(L"Error ActiveX: " + junk)) << LogText();
  // A file that is no type library is skipped without a word.
  State().SetupLog.clear();
  ApplyOthersRecord(L"TYPE LIBRARY*?" + junk + L"*?Yes");
  ApplyOthersRecord(L"SOMETHING*?" + junk + L"*?Yes");
  ApplyOthersRecord(L"FONT*?" + junk);
  EXPECT_TRUE(State().SetupLog.empty()) << LogText();
  for (const wchar_t* section : {L"Fonts", L"ActiveX", L".NET-Assembly", L"TypeLibrary", L"ScreenSaver", L"RegistryValues"})
    EXPECT_TRUE(Entries(section).empty()) << section;
}

TEST_F(OthersAction, ComServerTypeLibraryAndScreenSaver) {
  const std::wstring server = FolderPart(platform::ModulePath()) + L"\\ekcomserver.dll";
  ApplyOthersRecord(L"DLL/ACTIVEX*?" + server + L"*?Yes");
  RegKey marker;
  ASSERT_TRUE(marker.Open(RegRoot::CurrentUser, L"Software\\EkComServerTest", kView, true)) << LogText();
  EXPECT_EQ(marker.ReadString(server), L"registered");
  Ignore(marker.DeleteValue(server));
  EXPECT_EQ(Entries(L"ActiveX"), (std::vector<std::wstring>{server}));

  // The system's own OLE automation library registers again in place.
  const std::wstring tlb = GetConstant(18) + L"\\stdole2.tlb";
  ApplyOthersRecord(L"Type Library*?" + tlb + L"*?Yes");
  EXPECT_EQ(Entries(L"TypeLibrary"), (std::vector<std::wstring>{tlb}));
  RegKey lib;
  ASSERT_TRUE(lib.Open(RegRoot::ClassesRoot, L"TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0\\0\\win64", kView, false));
  EXPECT_TRUE(EqualsNoCase(lib.ReadString(L"").value_or(L""), tlb));

  // Screen savers are recorded whatever the flag says.
  ScratchFolder dir(L"scr");
  const std::wstring saver = dir.Write(L"ek.scr", L"x");
  ApplyOthersRecord(L"SCREENSAVER*?" + saver + L"*?No");
  EXPECT_EQ(Entries(L"ScreenSaver"), (std::vector<std::wstring>{saver}));
  EXPECT_FALSE(State().HadErrors) << LogText();
}

TEST_F(OthersAction, AssemblyRegisteredWithTheLastFrameworkFound) {
  ScratchFolder dir(L"asm");
  const std::wstring assembly = dir.Write(L"Ek.Lib.dll", L"x");
  ApplyOthersRecord(L".NET ASSEMBLY*?" + assembly + L"*?Yes");
  EXPECT_TRUE(Logged(L"RegAsm.exe file not found: " + assembly)) << LogText();
  EXPECT_EQ(State().UninstallIni->ReadString(L"General", L"RegAsmExe", L"<none>"), L"");

  // The stand-in program takes RegAsm's place in two framework folders.
  const std::wstring net = GetConstant(17) + L"\\Microsoft.NET";
  const std::wstring v2 = net + L"\\Framework\\v2.0.50727", v4 = net + L"\\Framework64\\v4.0.30319";
  const bool hadNet = platform::DirectoryExists(net);
  ASSERT_FALSE(platform::FileExists(v4 + L"\\RegAsm.exe"));
  for (const std::wstring& d : {v2, v4}) {
    ASSERT_TRUE(platform::CreateDirectoryTree(d));
    ASSERT_TRUE(platform::CopyFileTo(FolderPart(platform::ModulePath()) + L"\\argdump.exe", d + L"\\RegAsm.exe", false));
  }
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", dir.path()));
  State().RegAsmPath.clear();
  State().HadErrors = false;
  ApplyOthersRecord(L".NET ASSEMBLY*?" + assembly + L"*?Yes");
  EXPECT_EQ(State().UninstallIni->ReadString(L"General", L"RegAsmExe"), v4 + L"\\RegAsm.exe");
  EXPECT_EQ(Entries(L".NET-Assembly"), (std::vector<std::wstring>{assembly}));
  auto log = platform::ReadWholeFile(dir.path() + L"\\argdump.log");
  ASSERT_TRUE(log);
  EXPECT_NE(Utf8ToWide(*log).find(L"\"" + assembly + L"\" /codebase /s"), std::wstring::npos) << Utf8ToWide(*log);
  // A failing exit code is a failed registration.
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_EXIT", L"100"));
  ApplyOthersRecord(L".NET ASSEMBLY*?" + assembly + L"*?Yes");
  EXPECT_TRUE(Logged(L"Error .NET Assembly: " + assembly)) << LogText();
  EXPECT_EQ(Entries(L".NET-Assembly").size(), 1u);
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_EXIT", L""));
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", L""));

  for (const std::wstring& d : {v2, v4}) {
    Ignore(platform::DeleteFileAt(d + L"\\RegAsm.exe"));
    Ignore(platform::RemoveDirectoryAt(d));
    Ignore(platform::RemoveDirectoryAt(FolderPart(d)));
  }
  if (!hadNet) Ignore(platform::RemoveDirectoryAt(net));
  Ignore(platform::DeleteFileAt(dir.path() + L"\\argdump.log"));
}

}  // namespace
}  // namespace ek
