#include <gtest/gtest.h>

#include "core/command_line.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "install/others_action.h"
#include "platform/shell.h"
#include "setup_fixture.h"

namespace ek {
namespace {

using test::ScratchFolder;
using test::SetupStateTest;

std::wstring Folder(int csidl) { return StripTrailingBackslash(platform::ShellFolder(csidl)); }
std::wstring Env(const wchar_t* name) { return StripTrailingBackslash(EnvironmentValue(name)); }

class Expansion : public SetupStateTest {};

struct Expected {
  const wchar_t* text;
  std::wstring want;
};
void ExpectExpansions(std::initializer_list<Expected> cases) {
  for (const auto& c : cases) EXPECT_EQ(ExpandVariables(c.text), c.want) << c.text;
}

// Every folder variable against the system's own answer for its CSIDL, written
// in lower and mixed case.
TEST_F(Expansion, FolderVariablesFollowTheShellFolders) {
  LoadConfig(L"[Setup]\r\n");
  struct Case {
    const wchar_t* lower;
    const wchar_t* mixed;
    int csidl;
  } cases[] = {
      {L"<programfiles>", L"<ProgramFiles>", 38},       {L"<windowsdir>", L"<WindowsDir>", 36},
      {L"<systemdir>", L"<SystemDir>", 37},             {L"<fontsdir>", L"<FontsDir>", 20},
      {L"<appdata>", L"<AppData>", 26},                 {L"<mydocuments>", L"<MyDocuments>", 5},
      {L"<userprofile>", L"<UserProfile>", 40},         {L"<commonfiles>", L"<CommonFiles>", 43},
      {L"<desktop>", L"<Desktop>", 0},                  {L"<startmenu>", L"<StartMenu>", 11},
      {L"<programsmenu>", L"<ProgramsMenu>", 2},        {L"<startup>", L"<Startup>", 7},
      {L"<commondesktop>", L"<CommonDesktop>", 25},     {L"<commonstartmenu>", L"<CommonStartMenu>", 22},
      {L"<commonprogramsmenu>", L"<CommonProgramsMenu>", 23}, {L"<commonstartup>", L"<CommonStartup>", 24},
      {L"<localappdata>", L"<LocalAppData>", 28},       {L"<commonappdata>", L"<CommonAppData>", 35},
      {L"<sentto>", L"<SentTo>", 9},                    {L"<commontemplates>", L"<CommonTemplates>", 45},
      {L"<favorites>", L"<Favorites>", 6},              {L"<systemdir64>", L"<SystemDir64>", 37},
      {L"<programfiles86>", L"<ProgramFiles86>", 42},   {L"<commonfavorites>", L"<CommonFavorites>", 31},
      {L"<mypictures>", L"<MyPictures>", 39},           {L"<mymusic>", L"<MyMusic>", 13},
      {L"<commonpictures>", L"<CommonPictures>", 54},   {L"<commonmusic>", L"<CommonMusic>", 53},
      {L"<commondocuments>", L"<CommonDocuments>", 46}, {L"<localsettings>", L"<LocalSettings>", 28},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandVariables(c.lower), Folder(c.csidl)) << c.csidl;
    EXPECT_EQ(ExpandVariables(c.mixed), Folder(c.csidl)) << c.csidl;
  }
  ASSERT_FALSE(Folder(36).empty());
}

// The same folders against an independent source: the environment that Wine
// sets up for the process.
TEST_F(Expansion, FolderVariablesMatchTheEnvironment) {
  LoadConfig(L"[Setup]\r\n");
  struct Case {
    const wchar_t* text;
    std::wstring want;
  } cases[] = {
      {L"<WINDOWSDIR>", Env(L"windir")},
      {L"<PROGRAMFILES>", Env(L"ProgramFiles")},
      {L"<PROGRAMFILES64>", Env(L"ProgramW6432")},  // from the registry's 64-bit view
      {L"<PROGRAMFILES86>", Env(L"ProgramFiles(x86)")},
      {L"<COMMONFILES>", Env(L"CommonProgramFiles")},
      {L"<USERPROFILE>", Env(L"USERPROFILE")},
      {L"<APPDATA>", Env(L"APPDATA")},
      {L"<LOCALAPPDATA>", Env(L"LOCALAPPDATA")},
      {L"<COMMONAPPDATA>", Env(L"ProgramData")},
      {L"<SYSTEMDRIVE>", Env(L"SystemDrive")},
      {L"<USERPROFILENAME>", FileNamePart(Env(L"USERPROFILE"))},
      {L"<ALLUSERPROFILE>", Env(L"PUBLIC")},  // the parent of the common desktop
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.want.empty()) << c.text;
    EXPECT_TRUE(EqualsNoCase(ExpandVariables(c.text), c.want)) << c.text << " " << ExpandVariables(c.text);
  }
}

TEST_F(Expansion, ProcessAndMachineFacts) {
  LoadConfig(L"[Setup]\r\n");
  ScratchFolder cwd(L"cwd");
  const std::wstring previous = platform::CurrentDirectory();
  ASSERT_TRUE(platform::SetCurrentDir(cwd.path()));
  EXPECT_EQ(ExpandVariables(L"<CurrentFolder>"), StripTrailingBackslash(cwd.path()));
  EXPECT_TRUE(platform::SetCurrentDir(previous));

  EXPECT_TRUE(EqualsNoCase(ExpandVariables(L"<SetupFile>"), L"unit_tests.exe"));
  EXPECT_EQ(ExpandVariables(L"<SetupExe>"), ExpandVariables(L"<CurrentDir>\\<SetupFile>"));
  std::wstring tmp = Env(L"TMP");
  if (tmp.empty()) tmp = Env(L"TEMP");
  EXPECT_TRUE(EqualsNoCase(ExpandVariables(L"<TempDir>"), tmp));

  // The prefix of the test bed reports Windows 10, a workstation.
  EXPECT_EQ(ExpandVariables(L"<Windows>|<Win>|<WindowsVersion>"), L"Windows 10|10|10.0");
  EXPECT_EQ(ExpandVariables(L"<WinVerMaj>.<WinVerMin>"), ExpandVariables(L"<WindowsVersion>"));
  EXPECT_GT(ParseInt32Or(ExpandVariables(L"<WinVerBuild>"), 0), 10000);
  EXPECT_EQ(ExpandVariables(L"<WinVerServer>"), L"0");

  const std::wstring full = ExpandVariables(L"<commandlinefull>");
  EXPECT_NE(FindNoCase(full, L"unit_tests"), npos);
  EXPECT_EQ(ExpandVariables(L"<CommandLineFull>"), full);
  EXPECT_EQ(ExpandVariables(L"<commandline>"), CommandLineArguments());
  EXPECT_EQ(ExpandVariables(L"<COMMANDLINE>"), CommandLineArguments());
  EXPECT_EQ(ExpandVariables(L"<RegAsmExe>"), StripTrailingBackslash(FindRegAsm()));

  const std::wstring ymd = ExpandVariables(L"<Year><Month><Day>");
  EXPECT_EQ(ymd.size(), 8u);
  EXPECT_EQ(ExpandVariables(L"<FormatDate>"), ymd);
  EXPECT_FALSE(ExpandVariables(L"<Date>").empty());
  EXPECT_EQ(ExpandVariables(L"<Date>").find(L'<'), std::wstring::npos);
}

TEST_F(Expansion, SystemLanguageIdentifierByMethod) {
  for (int method = 0; method <= 3; ++method) {
    LoadConfig(L"[Setup]\r\nLangIDMethod=" + ToText(method) + L"\r\n");
    EXPECT_EQ(ExpandVariables(L"<SystemLngID>"), ToText(*SystemLanguageId(method)));
  }
  LoadConfig(L"[Setup]\r\nLangIDMethod=7\r\n");
  EXPECT_EQ(ExpandVariables(L"[<SystemLngID>]"), L"[]");
}

TEST_F(Expansion, ProductValuesAndState) {
  LoadConfig(
      L"[Setup]\r\nAppName=Demo#German[Demo DE]\r\nAppVersion=<Year>.2\r\nPublisher=ACME#German[ACME GmbH]\r\n"
      L"WebSite=https://example.test/<Language>\r\nSupportLink=help#German[hilfe]\r\nBDID=20240131\r\n"
      L"GUID={ABC}-<AppName>\r\nAppEdition=Pro <AppName>\r\n");
  LoadLanguageTexts(L"[Info]\r\nid=1031\r\nlng=de\r\n");
  auto& s = State();
  s.LanguageName = L"German";
  s.AppNameVersion = L"Demo DE 1.2";
  s.InstallDir = L"C:\\Prog\\Demo";
  s.MainExe = L"C:\\Prog\\Demo\\demo.exe";
  s.ProgramGroup = L"Start\\Demo";
  s.QueryText = L"Jane";
  s.QueryCustom = L"K-1";
  s.ExtraVar = L"x64";
  s.ComboBox = L"Blue";
  s.ComboBoxIndex = 2;
  s.InstalledVersion = L"0.9";
  s.InstalledUninstaller = L"C:\\Prog\\Demo\\Uninstall.exe";
  s.LastExitCode = L"3";

  const std::wstring year = ExpandVariables(L"<Year>");
  ExpectExpansions({
      {L"<AppName>", L"Demo DE"},
      {L"<AppVersion>", year + L".2"},  // picked and expanded
      {L"<AppNameVersion>", L"Demo DE 1.2"},
      {L"<CompanyName>|<Publisher>", L"ACME GmbH|ACME GmbH"},
      {L"<InstallDir>|<MainExe>|<MainExecutable>", L"C:\\Prog\\Demo|C:\\Prog\\Demo\\demo.exe|C:\\Prog\\Demo\\demo.exe"},
      {L"<ProgramGroup>", L"Start\\Demo"},
      {L"<WebSite>", L"https://example.test/German"},
      {L"<SupportLink>", L"hilfe"},
      {L"<QueryText>/<QueryCustom>", L"Jane/K-1"},
      {L"<Language>|<LNG>|<LNGID>", L"German|de|1031"},
      {L"<BuildDate>", L"20240131"},
      {L"<InstallDrive>", L"C:"},
      {L"<ExtraVar>", L"x64"},
      {L"<ComboBox>=<ComboBoxIndex>", L"Blue=2"},
      {L"<GUID>", L"{ABC}-Demo DE"},
      {L"<AppEdition>", L"Pro Demo DE"},  // not expanded itself, but the later steps see "<AppName>"
      {L"<CurrentAppVer>|<CurrentAppUninstall>", L"0.9|C:\\Prog\\Demo\\Uninstall.exe"},
      {L"<ExitCode>", L"3"},
  });
}

TEST_F(Expansion, FlagsAsDigits) {
  LoadConfig(L"[Setup]\r\n");
  auto& s = State();
  EXPECT_EQ(ExpandVariables(L"<ExitCode>"), L"-1");  // before any program was waited for
  for (bool on : {false, true}) {
    s.UpdateMode = on;
    s.Is64BitOS = on;
    s.IsAdmin = on;
    s.AllUsers = on;
    s.CheckBoxValue = on;
    const std::wstring d = on ? L"1" : L"0";
    EXPECT_EQ(ExpandVariables(L"<Update><Upgrade><Win64Bit><Admin><AllUsers><CheckBox>"), d + d + d + d + d + d);
    EXPECT_EQ(ExpandVariables(L"<Bitness>"), on ? L"64" : L"86");
  }
}

TEST_F(Expansion, InstallDriveAndTrailingBackslashes) {
  LoadConfig(L"[Setup]\r\nAppName=Tools\\\r\n");
  auto& s = State();
  s.InstallDir = L"D:\\Apps\\X";
  EXPECT_EQ(ExpandVariables(L"<InstallDrive>"), L"D:");
  s.InstallDir = L"relative";
  EXPECT_EQ(ExpandVariables(L"<InstallDrive>"), L"C:");
  s.InstallDir = L"E:\\";
  EXPECT_EQ(ExpandVariables(L"<InstallDir>"), L"E:");  // one trailing "\" removed
  EXPECT_EQ(ExpandVariables(L"<AppName>"), L"Tools");
  EXPECT_EQ(GetConstant(1), L"Tools");
  EXPECT_EQ(GetConstant(44), L"");
  EXPECT_EQ(GetConstant(0), L"");
  EXPECT_EQ(GetConstant(85), L"");
}

TEST_F(Expansion, NewGuidIsSharedWithinOneCall) {
  LoadConfig(L"[Setup]\r\n");
  const std::wstring twice = ExpandVariables(L"<NewGuid>|<NEWGUID>");
  ASSERT_EQ(twice.size(), 38u * 2 + 1);
  EXPECT_EQ(twice.substr(0, 38), twice.substr(39));
  EXPECT_NE(ExpandVariables(L"<NewGuid>"), twice.substr(0, 38));
}

TEST_F(Expansion, ApplicationDataRedirection) {
  auto& s = State();
  const std::wstring profileName = FileNamePart(Folder(40));
  ASSERT_FALSE(profileName.empty());

  LoadConfig(L"[Setup]\r\nInstallLevel=2\r\nSetupParameters=-cudir\r\n");
  s.AllUsers = true;
  EXPECT_EQ(ExpandVariables(L"<AppData>|<MyDocuments>"), Folder(35) + L"|" + Folder(46));
  s.AllUsers = false;
  EXPECT_EQ(ExpandVariables(L"<AppData>|<MyDocuments>"), Folder(26) + L"|" + Folder(5));

  // An elevated run on behalf of another user points at that user's folders.
  LoadConfig(L"[Setup]\r\n");
  s.InvokingUserName = L"someoneelse";
  EXPECT_EQ(ExpandVariables(L"<AppData>"), ReplaceFirstNoCase(Folder(26), profileName, L"someoneelse"));
  EXPECT_EQ(ExpandVariables(L"<MyDocuments>"), ReplaceFirstNoCase(Folder(5), profileName, L"someoneelse"));
  EXPECT_NE(ExpandVariables(L"<AppData>"), Folder(26));
  LoadConfig(L"[Setup]\r\nSetupParameters=-defdir\r\n");
  EXPECT_EQ(ExpandVariables(L"<AppData>"), Folder(26));
}

TEST_F(Expansion, TextFunctions) {
  LoadConfig(L"[Setup]\r\nAppVersion=3.7.1-beta\r\n");
  auto& s = State();
  s.MainExe = L"C:\\P\\app.exe";
  s.InstallDir = L"c:\\\u00e4\\x";
  ExpectExpansions({
      {L"GETDIRX[<MAINEXE>]", L"C:\\P"},
      {L"getnamex[<MainExe>]", L"app.exe"},
      {L"GETDIRX[C:\\app.exe]", L"C:\\"},  // a root keeps its backslash
      {L"GETDIRX[C:app.exe]", L"C"},
      {L"GETDIRX[app.exe]", L""},
      {L"GETNAMEX[C:app.exe]", L"app.exe"},
      {L"GETVERX[<AppVersion>]", L"3.7.1.0"},
      {L"GETVERX[2.1 (x64)]", L"2.164.0.0"},
      {L"GETVERMAJX[<AppVersion>].GETVERMINX[<AppVersion>]", L"3.7"},
      {L"POSX[b,abc]", L"2"},
      {L"POSX[B,abc]", L"2"},  // compared in upper case
      {L"POSX[abc]", L"0"},
      {L"POSX[z,abc]", L"0"},
      {L"POSX[<InstallDir>,x<INSTALLDIR>]", L"2"},  // compared as written
      {L"UPPERCASEX[<InstallDir>]", L"C:\\\u00e4\\X"},  // letters a to z only
      {L"GETDIRX[C:\\a\\b]|GETDIRX[C:\\c\\d]", L"C:\\a|GETDIRX[C:\\c\\d]"},  // only the first is evaluated
      {L"GETDIRX[C:\\a\\b]|getdirx[C:\\A\\B]", L"C:\\a|C:\\a"},                // same argument: replaced too
      {L"GETNAMEX[GETDIRX[C:\\a\\b\\c]]", L"b"},  // an earlier function's value is seen by the later ones
      {L"GETDIRX[C:\\a\\b", L"GETDIRX[C:\\a\\b"},                 // no closing bracket: stays
      {L"x]y[z", L"x]y[z"},
      {L"[GETDIRX[]]", L"[]"},
  });
}

TEST_F(Expansion, Components) {
  LoadConfig(L"[Setup]\r\nCustomComponents=1\r\n");
  State().Options.CheckListBox1 = {{L"Docs", false, true}, {L"Tools", true, true}};
  ExpectExpansions({
      {L"<COMPONENT2>", L"1"},
      {L"<component1>", L"0"},
      {L"<Component2>,<COMPONENT2>", L"1,1"},
      {L"<COMPONENT1><COMPONENT2>", L"0<COMPONENT2>"},  // only the first token is evaluated
      {L"<COMPONENT3>", L"<COMPONENT3>"},
      {L"<COMPONENT0>", L"<COMPONENT0>"},
      {L"<COMPONENTx>", L"<COMPONENTx>"},
      {L"<COMPONENT2", L"<COMPONENT2"},
  });
  LoadConfig(L"[Setup]\r\n");
  EXPECT_EQ(ExpandVariables(L"<COMPONENT2>"), L"<COMPONENT2>");  // no component list
}

TEST_F(Expansion, UserVariables) {
  LoadConfig(
      L"[Setup]\r\nAppName=Demo\r\n[VariablesResult]\r\n0=<Color>=red\r\n1=<InstallDir>=D:\\Mine\r\n2=no equals sign\r\n"
      L"3=<Color>=blue\r\n4==nameless\r\n5=<Where>=<InstallDir>\\<AppName>\r\n6=plain=word\r\n"
      L"7=<A_very_long_user_variable_name_that_is_longer_than_sixty_four_characters>=long\r\n");
  auto& s = State();
  s.VariablesResultCount = 8;
  s.InstallDir = L"C:\\Builtin";
  ExpectExpansions({
      {L"<color>", L"blue"},              // the later entry wins
      {L"<InstallDir>", L"D:\\Mine"},     // hides the built-in variable
      {L"<Where>", L"D:\\Mine\\Demo"},    // its value is expanded by the later entries and the table
      {L"a plain <x>", L"a word <x>"},    // a name without brackets works too
      {L"<A_VERY_LONG_USER_VARIABLE_NAME_THAT_IS_LONGER_THAN_SIXTY_FOUR_CHARACTERS>", L"long"},
      {L"=nameless", L"=nameless"},
  });
  s.VariablesResultCount = 1;  // entries beyond the count are not read
  EXPECT_EQ(ExpandVariables(L"<Color>|<InstallDir>"), L"red|C:\\Builtin");
}

TEST_F(Expansion, EnvironmentVariables) {
  LoadConfig(L"[Setup]\r\n");
  ASSERT_TRUE(platform::SetEnvironmentValue(L"EK_TEST_ONE", L"first"));
  ASSERT_TRUE(platform::SetEnvironmentValue(L"EK_TEST_TWO", L"second"));
  EXPECT_EQ(ExpandVariables(L"<%EK_TEST_ONE%>"), L"first");
  EXPECT_EQ(ExpandVariables(L"<%EK_TEST_ONE%>/<%ek_test_one%>"), L"first/first");
  EXPECT_EQ(ExpandVariables(L"<%EK_TEST_ONE%>/<%EK_TEST_TWO%>"), L"first/<%EK_TEST_TWO%>");  // only the first
  EXPECT_EQ(ExpandVariables(L"[<%EK_TEST_NOT_SET_ANYWHERE%>]"), L"[]");
  EXPECT_EQ(ExpandVariables(L"%> <%EK_TEST_ONE"), L"%> <%EK_TEST_ONE");
}

// The substitution order: a value is expanded by the steps after the one that
// inserted it, never by the earlier ones.
TEST_F(Expansion, SubstitutionOrder) {
  LoadConfig(L"[Setup]\r\nAppName=<InstallDir>\\App\r\n");
  auto& s = State();
  s.InstallDir = L"<AppName>";
  EXPECT_EQ(ExpandVariables(L"<InstallDir>"), L"<AppName>");  // number 1 comes before number 7
  s.InstallDir = L"C:\\X";
  EXPECT_EQ(ExpandVariables(L"<AppName>"), L"C:\\X\\App");
  // A token made across the edge of an inserted value is seen by later numbers.
  s.InstallDir = L"64BIT";
  s.Is64BitOS = true;
  EXPECT_EQ(ExpandVariables(L"<WIN<INSTALLDIR>>"), L"1");
  s.InstallDir = L"APP";
  EXPECT_EQ(ExpandVariables(L"<<INSTALLDIR>NAME>"), L"<APPNAME>");
  s.LastExitCode = L"<InstallDir>";
  EXPECT_EQ(ExpandVariables(L"<ExitCode>"), L"APP");
}

TEST_F(Expansion, EdgeCases) {
  LoadConfig(L"[Setup]\r\nAppName=Demo\r\n");
  State().InstallDir = L"X";
  ExpectExpansions({
      {L"", L""},
      {L"plain text, no placeholders", L"plain text, no placeholders"},
      {L"a<#>b<#>", L"a\r\nb\r\n"},
      {L"<#", L"<#"},
      {L"<>", L"<>"},
      {L"<", L"<"},
      {L">", L">"},
      {L"<NoSuchVariable>", L"<NoSuchVariable>"},
      {L"<InstallDir", L"<InstallDir"},
      {L"InstallDir>", L"InstallDir>"},
      {L"<<InstallDir>>", L"<X>"},
      {L"<Install<AppName>Dir>", L"<InstallDemoDir>"},
      {L"100%% <AppName>", L"100%% Demo"},  // percent signs belong to FormatAndExpand only
  });
}

TEST_F(Expansion, SelfNamingValuesEnd) {
  LoadConfig(L"[Setup]\r\nAppVersion=1<AppVersion>GETVERX[<AppVersion>]\r\nGUID=<GUID><AppVersion>\r\n");
  const std::wstring v = ExpandVariables(L"<AppVersion>|<GUID>");
  EXPECT_FALSE(v.empty());
  EXPECT_LT(v.size(), 10000u);
}

TEST_F(Expansion, FormatAndExpand) {
  LoadConfig(L"[Setup]\r\nAppName=Demo\r\n");
  struct Case {
    const wchar_t* text;
    const wchar_t* argument;
    const wchar_t* want;
  } cases[] = {
      {L"Drive %s doesn't contain enough free space.<#>", L"C:", L"Drive C: doesn't contain enough free space.\r\n"},
      {L"100%% of <AppName> (%s)", L"x", L"100% of Demo (x)"},
      {L"Ends in %", L"x", L"Ends in %"},            // rejected: expanded unformatted
      {L"%s and %s", L"x", L"%s and %s"},            // a second argument does not exist
      {L"%d files, 50%% <AppName>", L"x", L"%d files, 50%% Demo"},
      {L"Line%nbreak %s", L"x", L"Line%nbreak %s"},  // "%n" is the uninstaller's marker
      {L"[%5s|%-3s]", L"ab", L"[%5s|%-3s]"},
      {L"[%5s]", L"ab", L"[   ab]"},
      {L"[%-4s]", L"ab", L"[ab  ]"},
      {L"[%.1s]", L"ab", L"[a]"},
      {L"%0:s/%0:s", L"a", L"a/a"},
      {L"%1:s", L"a", L"%1:s"},
      {L"In [<InstallDir>]: %s", L"<AppName>", L"In []: Demo"},  // the argument is expanded too
      {L"", L"x", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatAndExpand(c.text, c.argument), c.want) << c.text;
}

class InstallPaths : public SetupStateTest {};

TEST_F(InstallPaths, DefaultsFromTheConfiguration) {
  LoadConfig(
      L"[Setup]\r\nAppName=Demo\r\nInstallDir=C:\\Default#German[<ProgramFiles>\\Demo DE\\ ]\r\n"
      L"MainExe= <InstallDir>\\demo.exe \r\nProgramGroup=Demo Group\r\n");
  auto& s = State();
  s.LanguageName = L"German";
  s.AllUsers = false;
  ResolveInstallPathsFrom(L"");
  EXPECT_EQ(s.InstallDir, Folder(38) + L"\\Demo DE");  // trimmed, without the trailing "\"
  EXPECT_EQ(s.MainExe, Folder(38) + L"\\Demo DE\\demo.exe");
  EXPECT_EQ(s.ProgramGroup, GetConstant(30) + L"\\Demo Group");

  s.AllUsers = true;
  ResolveInstallPathsFrom(L"D:\\Chosen\\");  // "/D"
  EXPECT_EQ(s.InstallDir, L"D:\\Chosen");
  EXPECT_EQ(s.MainExe, L"D:\\Chosen\\demo.exe");
  EXPECT_EQ(s.ProgramGroup, GetConstant(34) + L"\\Demo Group");
}

TEST_F(InstallPaths, ProgramGroupForms) {
  auto& s = State();
  s.AllUsers = false;
  LoadConfig(L"[Setup]\r\nAppName=Demo\r\nProgramGroup=E:\\Groups\\Demo\r\n");
  ResolveInstallPaths();
  EXPECT_EQ(s.ProgramGroup, L"E:\\Groups\\Demo");  // a path is used unchanged
  LoadConfig(L"[Setup]\r\nAppName=Demo\r\n");
  ResolveInstallPaths();
  EXPECT_EQ(s.ProgramGroup, Folder(2) + L"\\Demo");  // empty: the product name
}

}  // namespace
}  // namespace ek
