#include "base/expansion.h"

#include <cstdint>
#include <iterator>
#include <unordered_set>
#include <vector>

#include "base/text.h"

namespace ek {
namespace {

// Table order is substitution order.
constexpr BuiltInVariable kVariables[] = {
    {1, L"<APPNAME>"}, {2, L"<APPVERSION>"}, {3, L"<APPNAMEVERSION>"}, {4, L"<USERPROFILENAME>"},
    {5, L"<COMPANYNAME>"}, {6, L"<PUBLISHER>"}, {7, L"<INSTALLDIR>"}, {8, L"<MAINEXECUTABLE>"},
    {9, L"<MAINEXE>"}, {10, L"<PROGRAMFILES>"}, {11, L"<TEMPDIR>"}, {12, L"<SETUPTEMPDIR>"},
    {13, L"<CURRENTDIR>"}, {14, L"<CURRENTFOLDER>"}, {15, L"<SETUPEXE>"}, {16, L"<SETUPFILE>"},
    {17, L"<WINDOWSDIR>"}, {18, L"<SYSTEMDIR>"}, {19, L"<FONTSDIR>"}, {20, L"<SYSTEMDRIVE>"},
    {21, L"<APPDATA>"}, {22, L"<MYDOCUMENTS>"}, {23, L"<WEBSITE>"}, {24, L"<SUPPORTLINK>"},
    {25, L"<PROGRAMGROUP>"}, {26, L"<USERPROFILE>"}, {27, L"<COMMONFILES>"}, {28, L"<DESKTOP>"},
    {29, L"<STARTMENU>"}, {30, L"<PROGRAMSMENU>"}, {31, L"<STARTUP>"}, {32, L"<COMMONDESKTOP>"},
    {33, L"<COMMONSTARTMENU>"}, {34, L"<COMMONPROGRAMSMENU>"}, {35, L"<COMMONSTARTUP>"}, {36, L"<DATE>"},
    {37, L"<LOCALAPPDATA>"}, {38, L"<COMMONAPPDATA>"}, {39, L"<SENTTO>"}, {40, L"<COMMONTEMPLATES>"},
    {41, L"<ALLUSERPROFILE>"}, {42, L"<QUERYTEXT>"}, {43, L"<QUERYCUSTOM>"}, {45, L"<LANGUAGE>"},
    {46, L"<LNG>"}, {47, L"<LNGID>"}, {48, L"<BUILDDATE>"}, {49, L"<FAVORITES>"},
    {50, L"<PROGRAMFILES64>"}, {51, L"<INSTALLDRIVE>"}, {52, L"<SYSTEMDIR64>"}, {53, L"<PROGRAMFILES86>"},
    {54, L"<SYSTEMLNGID>"}, {55, L"<COMMONFAVORITES>"}, {56, L"<MYPICTURES>"}, {57, L"<MYMUSIC>"},
    {58, L"<COMMONPICTURES>"}, {59, L"<COMMONMUSIC>"}, {60, L"<COMMONDOCUMENTS>"}, {61, L"<FORMATDATE>"},
    {62, L"<LOCALSETTINGS>"}, {63, L"<CommandLineFull>"}, {64, L"<WINDOWS>"}, {65, L"<WINDOWSVERSION>"},
    {66, L"<CommandLine>"}, {67, L"<REGASMEXE>"}, {68, L"<NEWGUID>"}, {69, L"<EXTRAVAR>"},
    {70, L"<UPDATE>"}, {71, L"<WIN64BIT>"}, {72, L"<COMBOBOX>"}, {73, L"<COMBOBOXINDEX>"},
    {74, L"<ADMIN>"}, {75, L"<ALLUSERS>"}, {76, L"<WINVERMAJ>"}, {77, L"<WINVERMIN>"},
    {78, L"<WINVERBUILD>"}, {79, L"<WINVERSERVER>"}, {80, L"<CHECKBOX>"}, {81, L"<UPGRADE>"},
    {82, L"<BITNESS>"}, {83, L"<WIN>"}, {84, L"<GUID>"},
};

// Nesting limit, a backstop: the sources cut self-naming values already.
int g_depth = 0;
constexpr int kMaxDepth = 12;

// The characters the outermost expansion and everything nested in it may
// still read and write (see ExpansionWork).
size_t g_budget = 0;

// Takes `amount` from the work budget; false (and nothing more may be done)
// when the budget does not hold it.
bool Spend(size_t amount) {
  if (amount > g_budget) {
    g_budget = 0;
    return false;
  }
  g_budget -= amount;
  return true;
}

// Every occurrence of `from` (ignoring case) becomes `to`, unless the text
// would then pass `limit` characters: then nothing changes. False when
// nothing was replaced.
bool ReplaceWithin(std::wstring& t, std::wstring_view from, std::wstring_view to, size_t limit) {
  if (from.empty() || !Spend(t.size())) return false;
  std::vector<size_t> hits;
  for (size_t h = FindNoCase(t, from, 0); h != npos; h = FindNoCase(t, from, h + from.size())) hits.push_back(h);
  if (hits.empty()) return false;
  if (to.size() > from.size()) {
    const size_t room = limit > t.size() ? limit - t.size() : 0;
    if (hits.size() > room / (to.size() - from.size())) return false;
  }
  if (!Spend(t.size() + hits.size() * to.size())) return false;
  std::wstring out;
  out.reserve(t.size() - hits.size() * from.size() + hits.size() * to.size());
  size_t pos = 0;
  for (size_t h : hits) {
    out.append(t, pos, h - pos);
    out.append(to);
    pos = h + from.size();
  }
  out.append(t, pos, std::wstring::npos);
  t = std::move(out);
  return true;
}

// Which "<NAME>" tokens a text holds, so that the names that cannot occur
// cost a hash lookup instead of a scan of the whole text. A token is a "<",
// the first ">" after it, and no "<" between; every name of the table has
// that shape, so for such names "is indexed" and "occurs in the text" are the
// same test (a hash collision only costs the real search). The index is
// rebuilt after every replacement, because a replacement may create or
// remove tokens anywhere, also across the edges of the inserted value.
class TokenIndex {
 public:
  explicit TokenIndex(const std::wstring& text) { Rebuild(text); }

  void Rebuild(const std::wstring& text) {
    hashes_.clear();
    hasOpening_ = false;
    size_t open = npos;
    const size_t n = text.size();
    const wchar_t* p = text.data();
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == L'<') {
        open = i;
        hasOpening_ = true;
      } else if (p[i] == L'>' && open != npos) {
        if (i - open < kLongestIndexed) hashes_.insert(Hash(std::wstring_view(p + open, i - open + 1)));
        open = npos;
      }
    }
  }

  // False only when the name surely does not occur.
  bool MayContain(std::wstring_view name) const {
    if (!IsToken(name)) return true;
    return hashes_.count(Hash(name)) != 0;
  }
  bool HasOpening() const { return hasOpening_; }

 private:
  // Longer tokens are not indexed; names that long are searched for.
  static constexpr size_t kLongestIndexed = 64;

  static bool IsToken(std::wstring_view name) {
    if (name.size() < 2 || name.size() > kLongestIndexed || name.front() != L'<' || name.back() != L'>') return false;
    return name.substr(1, name.size() - 2).find_first_of(L"<>") == std::wstring_view::npos;
  }
  // FNV-1a over the case-folded characters, so that the test ignores case as
  // the replacement does.
  static uint64_t Hash(std::wstring_view token) {
    uint64_t h = 14695981039346656037ull;
    for (wchar_t c : token) {
      h ^= static_cast<uint16_t>(FoldChar(c));
      h *= 1099511628211ull;
    }
    return h;
  }

  std::unordered_set<uint64_t> hashes_;
  bool hasOpening_ = false;
};

// One expansion: the text, its growth bound and its token index.
class Expansion {
 public:
  Expansion(std::wstring text, VariableSource& source)
      : t_(std::move(text)), limit_(ExpansionLimit(t_.size())), source_(source) {}

  std::wstring Run() {
    ExpandComponents();
    if (t_.find(L'[') != std::wstring::npos) ExpandFunctions();

    if (!Spend(t_.size())) return std::move(t_);
    index_.Rebuild(t_);
    if (!index_.HasOpening()) return std::move(t_);
    static constexpr struct {
      const wchar_t* name;
      StateToken token;
    } kStateTokens[] = {
        {L"<EXITCODE>", StateToken::ExitCode},
        {L"<CURRENTAPPVER>", StateToken::CurrentAppVersion},
        {L"<CURRENTAPPUNINSTALL>", StateToken::CurrentAppUninstall},
        {L"<APPEDITION>", StateToken::AppEdition},
        {L"<YEAR>", StateToken::Year},
        {L"<MONTH>", StateToken::Month},
        {L"<DAY>", StateToken::Day},
    };
    for (const auto& s : kStateTokens) ReplaceName(s.name, [&] { return source_.StateValue(s.token); });
    if (!index_.HasOpening()) return std::move(t_);

    ExpandUserVariables();
    if (!index_.HasOpening()) return std::move(t_);

    // A value inserted here is expanded by the later numbers, not the earlier.
    for (const auto& v : kVariables) {
      ReplaceName(v.name, [&] { return source_.Constant(v.number); });
      if (!index_.HasOpening()) return std::move(t_);
    }

    // Only the first environment token is evaluated.
    const size_t env = t_.find(L"<%");
    if (env != std::wstring::npos) {
      const size_t end = t_.find(L"%>", env + 2);
      if (end != std::wstring::npos) {
        const std::wstring name = t_.substr(env + 2, end - env - 2);
        ReplaceWithin(t_, L"<%" + name + L"%>", source_.Environment(name), limit_);
      }
    }
    return std::move(t_);
  }

 private:
  // Replaces every occurrence of name, ignoring case, by valueOf(), which is
  // asked only when the name occurs. Keeps the index current.
  template <typename ValueOf>
  void ReplaceName(std::wstring_view name, ValueOf valueOf) {
    if (!index_.MayContain(name) || !Spend(t_.size()) || FindNoCase(t_, name) == npos) return;
    if (ReplaceWithin(t_, name, valueOf(), limit_) && Spend(t_.size())) index_.Rebuild(t_);
  }

  // Only the first "<COMPONENT...>" token is evaluated.
  void ExpandComponents() {
    if (!Spend(t_.size())) return;
    const size_t start = FindNoCase(t_, L"<COMPONENT");
    if (start == npos) return;
    const size_t close = t_.find(L'>', start);
    if (close == std::wstring::npos) return;
    const std::wstring token = t_.substr(start, close - start + 1);
    const int n = ParseInt32Or(std::wstring_view(token).substr(10, token.size() - 11), -1);
    if (n < 1) return;
    if (const auto checked = source_.ComponentChecked(n)) ReplaceWithin(t_, token, *checked ? L"1" : L"0", limit_);
  }

  // Only the first occurrence of each function is evaluated; its token is then
  // replaced wherever it occurs with the same argument.
  void ExpandFunctions() {
    static constexpr std::wstring_view kFunctions[] = {L"GETDIRX[",    L"GETNAMEX[", L"GETVERX[",    L"GETVERMAJX[",
                                                       L"GETVERMINX[", L"POSX[",     L"UPPERCASEX["};
    for (size_t f = 0; f < std::size(kFunctions); ++f) {
      const std::wstring_view name = kFunctions[f];
      if (!Spend(t_.size())) return;
      const size_t at = FindNoCase(t_, name);
      if (at == npos) continue;
      const size_t argStart = at + name.size();
      const size_t close = t_.find(L']', argStart);
      // Without a closing "]" the token (name, argument, "]") cannot occur, so
      // nothing would be replaced: its value is not worth computing.
      if (close == std::wstring::npos) continue;
      const std::wstring arg = t_.substr(argStart, close - argStart);
      std::wstring value;
      switch (f) {
        case 0: value = FolderOfPath(ExpandWith(arg, source_)); break;
        case 1: value = FileNamePart(ExpandWith(arg, source_)); break;
        case 2:
        case 3:
        case 4: {
          const VersionNumbers v = ParseVersion(ExpandWith(arg, source_), source_.Versions());
          if (f == 2) value = ToText(v[0]) + L"." + ToText(v[1]) + L"." + ToText(v[2]) + L"." + ToText(v[3]);
          else value = ToText(f == 3 ? v[0] : v[1]);
          break;
        }
        case 5: {
          // The argument is compared as written, not expanded.
          const size_t comma = arg.find(L',');
          size_t p = std::wstring::npos;
          if (comma != std::wstring::npos && comma > 0)
            p = FoldCase(std::wstring_view(arg).substr(comma + 1)).find(FoldCase(std::wstring_view(arg).substr(0, comma)));
          value = p == std::wstring::npos ? std::wstring(L"0") : ToText(static_cast<int64_t>(p) + 1);
          break;
        }
        case 6: value = ToUpperAscii(ExpandWith(arg, source_)); break;
      }
      ReplaceWithin(t_, std::wstring(name) + arg + L"]", value, limit_);
    }
  }

  // The results of the Variables section, later entries first, so that a
  // name defined twice takes its later value and hides a built-in one.
  void ExpandUserVariables() {
    for (size_t i = source_.UserVariableCount(); i-- > 0;) {
      const std::wstring entry = source_.UserVariable(i);
      const size_t eq = entry.find(L'=');
      if (eq == std::wstring::npos || eq == 0) continue;
      const std::wstring_view name(entry.data(), eq);
      ReplaceName(name, [&] { return std::wstring_view(entry).substr(eq + 1); });
    }
  }

  std::wstring t_;
  const size_t limit_;
  VariableSource& source_;
  TokenIndex index_{std::wstring()};
};

}  // namespace

std::span<const BuiltInVariable> BuiltInVariables() { return kVariables; }

std::wstring ExpandWith(std::wstring_view text, VariableSource& source) {
  std::wstring t(text);
  if (t.empty()) return t;
  t = ReplaceAll(t, L"<#>", L"\r\n");
  if (t.find_first_of(L"<[") == std::wstring::npos) return t;
  if (g_depth == 0) g_budget = ExpansionWork(t.size());
  if (g_depth >= kMaxDepth || !Spend(t.size() + 1)) return t;
  struct DepthGuard {
    DepthGuard() { ++g_depth; }
    ~DepthGuard() { --g_depth; }
  } guard;
  return Expansion(std::move(t), source).Run();
}

std::wstring FolderOfPath(std::wstring_view path) {
  const size_t i = path.find_last_of(L"\\:");
  if (i == std::wstring_view::npos) return std::wstring();
  const auto letter = [](wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); };
  if (path[i] == L'\\' && i >= 2 && path[i - 1] == L':' && letter(path[i - 2])) return std::wstring(path.substr(0, i + 1));
  return std::wstring(path.substr(0, i));
}

bool FormatOneArgument(std::wstring_view text, std::wstring_view arg, std::wstring& out) {
  out.clear();
  bool used = false;
  // A number of the format: digits only, and no larger than any real width.
  const auto number = [](std::wstring_view digits, int& value) {
    const auto v = ParseUnsignedDecimal(digits);
    if (!v || *v > static_cast<uint64_t>(kMaxFormatWidth)) return false;
    value = static_cast<int>(*v);
    return true;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') {
      out.push_back(text[i]);
      continue;
    }
    if (++i >= text.size()) return false;
    if (text[i] == L'%') {
      out.push_back(L'%');
      continue;
    }
    // [index ":"] ["-"] [width] ["." precision] type
    size_t j = i;
    int index = -1;
    size_t digits = j;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') ++digits;
    if (digits < text.size() && text[digits] == L':') {
      index = 0;
      if (digits > j && !number(text.substr(j, digits - j), index)) return false;
      j = digits + 1;
    }
    bool left = false;
    if (j < text.size() && text[j] == L'-') {
      left = true;
      ++j;
    }
    const size_t wStart = j;
    while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') ++j;
    int width = 0;
    if (j > wStart && !number(text.substr(wStart, j - wStart), width)) return false;
    int precision = -1;
    if (j < text.size() && text[j] == L'.') {
      const size_t pStart = ++j;
      while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') ++j;
      precision = 0;
      if (j > pStart && !number(text.substr(pStart, j - pStart), precision)) return false;
    }
    if (j >= text.size() || (text[j] != L's' && text[j] != L'S')) return false;
    if (index > 0 || (index < 0 && used)) return false;  // only one argument exists
    used = true;
    std::wstring value(arg);
    if (precision >= 0 && static_cast<size_t>(precision) < value.size()) value.resize(static_cast<size_t>(precision));
    if (width > 0 && static_cast<size_t>(width) > value.size()) {
      std::wstring pad(static_cast<size_t>(width) - value.size(), L' ');
      value = left ? value + pad : pad + value;
    }
    out += value;
    i = j;
  }
  return true;
}

}  // namespace ek
