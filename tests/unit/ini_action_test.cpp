#include <gtest/gtest.h>

#include "base/result.h"
#include "action_fixture.h"
#include "install/ini_action.h"
#include "install/ini_file_editor.h"

namespace ek {
namespace {

using test::ScratchFolder;

std::wstring Edited(std::wstring_view text, std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  IniFileEditor e;
  e.SetText(text);
  e.Write(section, key, value);
  return e.Text();
}

TEST(IniFileEditor, EditsKeepEveryOtherLine) {
  struct Case {
    const wchar_t* what;
    std::wstring text, section, key, want;
  } cases[] = {
      {L"value replaced, spelling and comments kept", L"; top\r\n[Main]\r\n; note\r\nName = old\r\nOther=1\r\n",
       L"main", L"NAME", L"; top\r\n[Main]\r\n; note\r\nName=new\r\nOther=1\r\n"},
      {L"key added after the section's last line", L"[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", L"a", L"k",
       L"[A]\r\nx=1\r\nk=new\r\n\r\n[B]\r\ny=2\r\n"},
      {L"key added to an empty section", L"[A]\r\n[B]\r\n", L"A", L"k", L"[A]\r\nk=new\r\n[B]\r\n"},
      {L"section appended", L"[A]\r\nx=1\r\n", L"New", L"k", L"[A]\r\nx=1\r\n\r\n[New]\r\nk=new\r\n"},
      {L"new file", L"", L"S", L"k", L"[S]\r\nk=new\r\n"},
      {L"LF and a missing final line end kept", L"[A]\nx=1\n[B]\ny=2", L"B", L"y", L"[A]\nx=1\n[B]\ny=new"},
      {L"a commented key is no key", L"[A]\r\n;k=1\r\n", L"A", L"k", L"[A]\r\n;k=1\r\nk=new\r\n"},
      {L"first of two sections of a name", L"[A]\r\nx=1\r\n[a]\r\nk=2\r\n", L"A", L"k",
       L"[A]\r\nx=1\r\nk=new\r\n[a]\r\nk=2\r\n"},
      {L"lines before any section kept", L"junk line\r\n[A]\r\n", L"A", L"k", L"junk line\r\n[A]\r\nk=new\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Edited(c.text, c.section, c.key, L"new"), c.want) << c.what;

  IniFileEditor e;
  e.SetText(L"[A]\r\n;k=1\r\nName = v\r\n[B]\r\nk=2\r\n");
  EXPECT_TRUE(e.KeyExists(L"a", L"name"));
  EXPECT_FALSE(e.KeyExists(L"A", L"k"));
  EXPECT_TRUE(e.KeyExists(L"B", L"K"));
  EXPECT_FALSE(e.KeyExists(L"C", L"k"));
}

TEST(IniFileEditor, RemovalTakesBackWhatWriteAdded) {
  // Write then Remove gives the text back, whatever it looked like.
  struct Case {
    const wchar_t* what;
    std::wstring text, section, key;
  } added[] = {
      {L"key at the end of a section", L"; top\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", L"a", L"k"},
      {L"section appended", L"[A]\r\nx=1\r\n", L"New", L"k"},
      {L"beside a commented key", L"[A]\r\n;k=1\r\n", L"A", L"k"},
      {L"LF and no final line end", L"[A]\nx=1", L"A", L"k"},
      {L"first of two sections of a name", L"[A]\r\nx=1\r\n[a]\r\nk=2\r\n", L"A", L"k"},
      {L"new file", L"", L"S", L"k"},
  };
  for (const auto& c : added) {
    IniFileEditor e;
    e.SetText(c.text);
    e.Write(c.section, c.key, L"v");
    EXPECT_TRUE(e.Remove(c.section, c.key)) << c.what;
    EXPECT_EQ(e.Text(), c.text) << c.what;
  }
  struct Removal {
    const wchar_t* what;
    std::wstring text, section, key, want;
    bool found;
  } removals[] = {
      {L"names ignore case and blanks", L"[Sec]\r\n Key = v\r\nz=1\r\n", L"sec", L"KEY", L"[Sec]\r\nz=1\r\n", true},
      {L"a section in the middle goes with its blank lines", L"[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nz=3\r\n",
       L"B", L"y", L"[A]\r\nx=1\r\n\r\n[C]\r\nz=3\r\n", true},
      {L"first of repeated keys", L"[A]\r\nx=1\r\nx=2\r\n", L"A", L"x", L"[A]\r\nx=2\r\n", true},
      // Write adds no separator after a file's own blank line, and the two
      // texts look the same afterwards: that blank line goes.
      {L"last section after a blank line", L"[A]\r\nx=1\r\n\r\n[New]\r\nk=v\r\n", L"New", L"k", L"[A]\r\nx=1\r\n",
       true},
      {L"key of another section", L"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", L"A", L"y", L"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", false},
      {L"key before any section", L"y=1\r\n[A]\r\nx=1\r\n", L"A", L"y", L"y=1\r\n[A]\r\nx=1\r\n", false},
      {L"commented key", L"[A]\r\n;y=1\r\n", L"A", L"y", L"[A]\r\n;y=1\r\n", false},
  };
  for (const auto& c : removals) {
    IniFileEditor e;
    e.SetText(c.text);
    EXPECT_EQ(e.Remove(c.section, c.key), c.found) << c.what;
    EXPECT_EQ(e.Text(), c.want) << c.what;
  }
}

class IniAction : public test::ActionTest {
 protected:
  static std::wstring Record(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                             const std::wstring& value, const wchar_t* flags = L"Yes*?Yes*?No") {
    return file + L"*?" + section + L"*?" + key + L"*?" + value + L"*?" + flags;
  }
  static std::string Bytes(const std::wstring& file) { return platform::ReadWholeFile(file).value_or("<none>"); }
};

TEST_F(IniAction, NewFileInNewFoldersIsRecordedWhole) {
  ScratchFolder dir(L"ininew");
  const std::wstring file = dir.path() + L"\\a\\b\\app.ini";
  ApplyIniRecord(Record(file, L"Options", L"Path", L"<InstallDir>"));
  State().InstallDir = L"C:\\Product";
  ApplyIniRecord(Record(file, L"Options", L"Dir", L"<InstallDir>"));
  EXPECT_EQ(Bytes(file), "[Options]\r\nPath=\r\nDir=C:\\Product\r\n");  // ANSI: no byte-order mark
  EXPECT_EQ(Entries(L"Folders"), (std::vector<std::wstring>{dir.path() + L"\\a", dir.path() + L"\\a\\b"}));
  // The second record found the file existing.
  EXPECT_EQ(Entries(L"Files"), (std::vector<std::wstring>{file}));
  EXPECT_EQ(Entries(L"INIValues"), (std::vector<std::wstring>{file + L"*?Options*?Dir"}));
  Ignore(platform::DeleteFileAt(file));
  Ignore(platform::RemoveDirectoryAt(dir.path() + L"\\a\\b"));
  Ignore(platform::RemoveDirectoryAt(dir.path() + L"\\a"));
}

TEST_F(IniAction, ExistingFilesKeepTheirEncoding) {
  ScratchFolder dir(L"inienc");
  struct Case {
    TextEncoding encoding;
    const char* mark;
  } cases[] = {{TextEncoding::Utf16Le, "\xFF\xFE"}, {TextEncoding::Utf8Bom, "\xEF\xBB\xBF"}, {TextEncoding::Ansi, ""}};
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(n);
    const std::wstring name = L"enc" + ToText(n++) + L".ini";
    const std::wstring file = dir.Write(name, L"; settings\r\n[Main]\r\nKeep=1\r\n", c.encoding);
    ApplyIniRecord(Record(file, L"Main", L"Added", L"caf\u00E9"));
    bool ok = false;
    DecodedText t = platform::ReadTextFile(file, TextEncoding::Ansi, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(t.encoding, c.encoding);
    EXPECT_EQ(t.text, L"; settings\r\n[Main]\r\nKeep=1\r\nAdded=caf\u00E9\r\n");
    EXPECT_EQ(Bytes(file).rfind(c.mark, 0), 0u);
  }
  // UTF-8 without a mark stays UTF-8.
  const std::wstring utf8 = dir.Write(L"utf8.ini", L"[M]\r\nName=Stra\u00DFe\r\n", TextEncoding::Utf8);
  ApplyIniRecord(Record(utf8, L"M", L"Town", L"K\u00F6ln"));
  EXPECT_EQ(Bytes(utf8), "[M]\r\nName=Stra\xC3\x9F" "e\r\nTown=K\xC3\xB6ln\r\n");
  // Text the ANSI code page cannot hold goes to UTF-16 instead of turning into "?".
  const std::wstring fresh = dir.path() + L"\\greek.ini";
  ApplyIniRecord(Record(fresh, L"M", L"Letter", L"\u03A9"));
  bool ok = false;
  DecodedText t = platform::ReadTextFile(fresh, TextEncoding::Ansi, &ok);
  EXPECT_EQ(t.encoding, TextEncoding::Utf16Le);
  EXPECT_EQ(t.text, L"[M]\r\nLetter=\u03A9\r\n");
  EXPECT_EQ(Entries(L"INIValues").size(), 4u);
}

TEST_F(IniAction, OverwriteAndExistingFileRules) {
  ScratchFolder dir(L"inirules");
  const std::wstring file = dir.Write(L"app.ini", L"[Main]\r\nKey=old\r\n", TextEncoding::Ansi);
  const std::string before = Bytes(file);
  ApplyIniRecord(Record(file, L"main", L"KEY", L"new", L"No*?Yes*?No"));
  EXPECT_EQ(Bytes(file), before);  // not touched at all
  EXPECT_TRUE(State().UninstallIni->Sections().empty());
  ApplyIniRecord(Record(file, L"main", L"KEY", L"new", L"yes*?no*?yes"));
  EXPECT_EQ(Bytes(file), "[Main]\r\nKey=new\r\n");
  EXPECT_TRUE(State().UninstallIni->Sections().empty());  // no uninstall flag
  // "Existing file only" and a missing file: nothing at all.
  ApplyIniRecord(Record(dir.path() + L"\\missing.ini", L"S", L"k", L"v", L"Yes*?Yes*?Yes"));
  EXPECT_FALSE(platform::PathExists(dir.path() + L"\\missing.ini"));
  EXPECT_TRUE(State().SetupLog.empty());
  ApplyIniRecord(Record(file, L"S", L"k", L"v", L"Yes*?Yes"));  // six fields
  EXPECT_EQ(Bytes(file), "[Main]\r\nKey=new\r\n");
}

TEST_F(IniAction, FailedFileIsSkippedUntilAnEditSucceeds) {
  ScratchFolder dir(L"inifail");
  const std::wstring blocker = dir.Write(L"blocker", L"a file, not a folder");
  const std::wstring bad = blocker + L"\\sub\\app.ini";
  ApplyIniRecord(Record(bad, L"S", L"k", L"v"));
  EXPECT_EQ(State().SetupLog, (std::vector<std::wstring>{L"Error creating directory: " + blocker,
                                                         L"Error editing INI file: " + bad}));
  EXPECT_TRUE(State().HadErrors);
  EXPECT_EQ(State().FailedIniFile, bad);
  ApplyIniRecord(Record(bad, L"S", L"k2", L"v"));
  EXPECT_EQ(State().SetupLog.size(), 2u);  // skipped without a further report

  // A folder where the file should be: the file cannot be written.
  EXPECT_TRUE(platform::CreateDirectoryOne(dir.path() + L"\\folder.ini"));
  ApplyIniRecord(Record(dir.path() + L"\\folder.ini", L"S", L"k", L"v"));
  EXPECT_TRUE(Logged(L"Error editing INI file: " + dir.path() + L"\\folder.ini"));
  EXPECT_EQ(State().FailedIniFile, dir.path() + L"\\folder.ini");
  Ignore(platform::RemoveDirectoryAt(dir.path() + L"\\folder.ini"));

  // Any success clears the failed file, so its records run again.
  const std::wstring good = dir.path() + L"\\good.ini";
  ApplyIniRecord(Record(good, L"S", L"k", L"v"));
  EXPECT_EQ(State().FailedIniFile, L"");
  EXPECT_TRUE(platform::FileExists(good));
}

}  // namespace
}  // namespace ek
