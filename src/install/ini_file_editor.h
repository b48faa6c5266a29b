// An INI file edited line by line: every line an edit does not touch stays
// as it was (comments, blank lines, order, spelling of names), and the file
// is written back in the encoding it was read in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace ek {

class IniFileEditor {
 public:
  void SetText(std::wstring_view text);
  std::wstring Text() const;

  // Section and key names compare without regard to case; ";" lines are
  // comments.
  bool KeyExists(std::wstring_view section, std::wstring_view key) const;
  // Replaces the value of the first such key of the first such section, or
  // adds the key at the end of the section, or the section at the end.
  void Write(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  // Takes back what Write added: removes the line of the first such key of
  // the first such section; a section left with blank lines only goes with
  // its header, and when it was the last one, with the blank line that Write
  // put before it. False when there is no such key.
  bool Remove(std::wstring_view section, std::wstring_view key);

 private:
  struct Position {
    size_t header = npos;   // line of the section header
    size_t key = npos;      // line of the key
    size_t lastLine = npos; // last non-blank line of the section
  };
  Position Find(std::wstring_view section, std::wstring_view key) const;

  std::vector<std::wstring> lines_;
  std::wstring eol_ = L"\r\n";
  bool finalEol_ = true;
};

// Loading and saving. A missing file loads as empty text in the ANSI code
// page; a file without byte-order mark whose bytes are valid UTF-8 with
// non-ASCII characters stays UTF-8. Text that the ANSI code page cannot hold
// is saved as UTF-16 with byte-order mark rather than losing characters.
struct IniFileText {
  std::wstring text;
  TextEncoding encoding = TextEncoding::Ansi;
};
bool LoadIniFile(const std::wstring& path, IniFileText& out);
bool SaveIniFile(const std::wstring& path, const IniFileText& file);

}  // namespace ek
