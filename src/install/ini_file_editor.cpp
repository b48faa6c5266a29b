#include "install/ini_file_editor.h"

#include "platform/file_system.h"

namespace ek {
namespace {

bool IsComment(std::wstring_view trimmed) { return !trimmed.empty() && trimmed[0] == L';'; }

// The name of a "[name]" line, or nothing.
bool SectionName(std::wstring_view trimmed, std::wstring& name) {
  if (trimmed.empty() || trimmed[0] != L'[') return false;
  const size_t close = trimmed.find(L']');
  if (close == std::wstring_view::npos) return false;
  name = Trim(trimmed.substr(1, close - 1));
  return true;
}

bool IsValidUtf8WithNonAscii(std::string_view bytes) {
  bool nonAscii = false;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) nonAscii = true;
  return nonAscii && WideToUtf8(Utf8ToWide(bytes)) == bytes;
}

}  // namespace

void IniFileEditor::SetText(std::wstring_view text) {
  lines_.clear();
  // The file's own line ending; CR LF for a file that has none yet.
  const size_t lf = text.find(L'\n');
  const bool bareLf = lf != std::wstring_view::npos && (lf == 0 || text[lf - 1] != L'\r');
  eol_ = bareLf ? L"\n" : L"\r\n";
  finalEol_ = text.empty() || text.back() == L'\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring_view::npos) end = text.size();
    std::wstring line(text.substr(start, end - start));
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

std::wstring IniFileEditor::Text() const {
  std::wstring out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i];
    if (i + 1 < lines_.size() || finalEol_) out += eol_;
  }
  return out;
}

IniFileEditor::Position IniFileEditor::Find(std::wstring_view section, std::wstring_view key) const {
  Position pos;
  bool inside = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::wstring t = Trim(lines_[i]);
    std::wstring name;
    if (SectionName(t, name)) {
      if (inside) break;  // only the first section of that name counts
      if (EqualsNoCase(name, section)) {
        inside = true;
        pos.header = pos.lastLine = i;
      }
      continue;
    }
    if (!inside || t.empty()) continue;
    pos.lastLine = i;
    if (IsComment(t) || pos.key != npos) continue;
    const size_t eq = t.find(L'=');
    if (eq != npos && EqualsNoCase(Trim(std::wstring_view(t).substr(0, eq)), key)) pos.key = i;
  }
  return pos;
}

bool IniFileEditor::KeyExists(std::wstring_view section, std::wstring_view key) const {
  return Find(section, key).key != npos;
}

void IniFileEditor::Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const Position pos = Find(section, key);
  if (pos.key != npos) {
    const std::wstring t = Trim(lines_[pos.key]);
    lines_[pos.key] = Trim(std::wstring_view(t).substr(0, t.find(L'='))) + L"=" + std::wstring(value);
    return;
  }
  const std::wstring line = std::wstring(key) + L"=" + std::wstring(value);
  if (pos.header != npos) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pos.lastLine + 1), line);
    return;
  }
  if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back(L"");
  lines_.push_back(L"[" + std::wstring(section) + L"]");
  lines_.push_back(line);
  finalEol_ = true;
}

bool IniFileEditor::Remove(std::wstring_view section, std::wstring_view key) {
  const Position pos = Find(section, key);
  if (pos.key == npos) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(pos.key));
  size_t end = pos.header + 1;
  bool empty = true;
  std::wstring name;
  for (; end < lines_.size() && !SectionName(Trim(lines_[end]), name); ++end)
    if (!Trim(lines_[end]).empty()) empty = false;
  if (empty) {
    size_t begin = pos.header;
    if (end == lines_.size() && begin > 0 && Trim(lines_[begin - 1]).empty()) --begin;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(begin), lines_.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return true;
}

bool LoadIniFile(const std::wstring& path, IniFileText& out) {
  out = IniFileText{};
  if (!platform::FileExists(path)) return true;
  const auto bytes = platform::ReadWholeFile(path);
  if (!bytes) return false;
  if (IsValidUtf8WithNonAscii(*bytes)) {
    const DecodedText probe = DecodeText(*bytes, TextEncoding::Utf8);
    out.text = probe.text;
    out.encoding = probe.encoding;  // Utf8, or Utf8Bom when it has the mark
    return true;
  }
  const DecodedText d = DecodeText(*bytes, TextEncoding::Ansi, &platform::AnsiToWide);
  out.text = d.text;
  out.encoding = d.encoding;
  return true;
}

bool SaveIniFile(const std::wstring& path, const IniFileText& file) {
  TextEncoding encoding = file.encoding;
  if (encoding == TextEncoding::Ansi && platform::AnsiToWide(platform::WideToAnsi(file.text)) != file.text)
    encoding = TextEncoding::Utf16Le;
  return platform::WriteTextFile(path, file.text, encoding);
}

}  // namespace ek
