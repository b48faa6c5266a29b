// ExpandVariables on large texts: the time against a plain copy of the same
// text, and the time of a 2 MB text against a 1 MB one (about 2 when the
// expansion is linear, 4 when it is quadratic). Prints ratios only.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "core/setup_state.h"
#include "base/ini_document.h"
#include "base/text.h"
#include "config/variables.h"

namespace {

using Clock = std::chrono::steady_clock;

// A configuration like a real product's: per-language values, user variables.
void PrepareState() {
  auto& s = ek::State();
  std::wstring ini =
      L"[Setup]\r\nAppName=Demo Notes#German[Demo Notizen]\r\nAppVersion=2.4.1\r\nPublisher=ACME\r\n"
      L"CustomComponents=1\r\nGUID={0D7A6E10-1111-4C8B-9A8E-5F5A2B3C4D5E}\r\n[VariablesResult]\r\n";
  const int userVariables = 40;
  for (int i = 0; i < userVariables; ++i)
    ini += ek::ToText(i) + L"=<UserVar" + ek::ToText(i) + L">=value " + ek::ToText(i) + L"\r\n";
  s.SetupConfig = std::make_unique<ek::IniDocument>();
  s.SetupConfig->Parse(ini);
  s.VariablesResultCount = userVariables;
  s.LanguageName = L"English";
  s.InstallDir = L"C:\\Program Files\\Demo Notes";
  s.MainExe = s.InstallDir + L"\\notes.exe";
  s.ProgramGroup = L"Demo Notes";
  s.Options.CheckListBox1 = {{L"Docs", true, true}, {L"Tools", false, true}};
}

// About one variable in every 20 characters: built-in names in several
// cases, user variables, unknown names, line breaks, functions, components
// and an environment token, between plain words.
std::wstring MakeText(size_t length) {
  static const wchar_t* const kPieces[] = {
      L"Install into <InstallDir> ",       L"run <MAINEXE> now. ",         L"<AppName> <appversion> ",
      L"from <Publisher>, ",                L"<UserVar7> and <uservar31> ", L"keep <NotAVariable> as is ",
      L"line<#>break ",                     L"GETDIRX[<MainExe>] ",         L"component <COMPONENT1> ",
      L"<ProgramFiles>\\Common ",           L"<%PATH%> ",                   L"plain words without anything ",
      L"[bracketed] text ",                 L"on <Date> ",                  L"less < and greater > signs ",
  };
  std::wstring text;
  text.reserve(length + 64);
  size_t i = 0;
  while (text.size() < length) text += kPieces[i++ % std::size(kPieces)];
  text.resize(length);
  return text;
}

// A periodic text that a naive substring search handles in quadratic time:
// the function token is the first third, and the rest repeats its start.
std::wstring MakePeriodicText(size_t length) {
  std::wstring text;
  while (text.size() < length / 3) text += L"GETDIRX[";
  text += L"]";
  while (text.size() < length) text += L"GETDIRX[";
  return text;
}

template <typename Work>
double BestSeconds(int rounds, Work work) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  PrepareState();
  const std::wstring one = MakeText(1u << 20), two = MakeText(2u << 20);
  size_t sink = 0;

  const int copies = 50;
  const double copySeconds = BestSeconds(5, [&] {
                               for (int i = 0; i < copies; ++i) {
                                 std::wstring c(one);
                                 sink += c.size() + c[i];
                               }
                             }) /
                             copies;
  const double oneSeconds = BestSeconds(5, [&] { sink += ek::ExpandVariables(one).size(); });
  const double twoSeconds = BestSeconds(5, [&] { sink += ek::ExpandVariables(two).size(); });

  const std::wstring periodicOne = MakePeriodicText(256u << 10), periodicTwo = MakePeriodicText(512u << 10);
  const double periodicOneSeconds = BestSeconds(3, [&] { sink += ek::ExpandVariables(periodicOne).size(); });
  const double periodicTwoSeconds = BestSeconds(3, [&] { sink += ek::ExpandVariables(periodicTwo).size(); });

  size_t variables = 0;
  for (wchar_t c : one) variables += c == L'<' || c == L'[';
  std::printf("expand_bench: 1 MB text with about %zu placeholders\n", variables);
  std::printf("expand 1 MB / copy 1 MB: %.1f\n", oneSeconds / copySeconds);
  std::printf("expand 2 MB / expand 1 MB: %.2f (linear: about 2, quadratic: about 4)\n", twoSeconds / oneSeconds);
  std::printf("periodic function text, 512 KB / 256 KB: %.2f\n", periodicTwoSeconds / periodicOneSeconds);
  return sink == 0 ? 1 : 0;
}
