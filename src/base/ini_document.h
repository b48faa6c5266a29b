// An INI document held in memory: the configuration, the language files, the
// uninstall information file. Sections and keys keep their file order;
// names compare without regard to case. Pure: no platform header.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text.h"

namespace ek {

class IniDocument {
 public:
  struct Entry {
    std::wstring key;
    std::wstring value;
    bool hasValue = true;  // a line without "=" carries a name only
  };
  // In blocks, not one array: a list of thousands of entries grows without
  // copying itself into an ever larger array (and holding both meanwhile),
  // and what Find returns stays where it is while entries are added.
  using Entries = std::deque<Entry>;
  struct Section {
    std::wstring name;
    Entries entries;
  };

  IniDocument() = default;
  IniDocument(const IniDocument&) = default;
  IniDocument& operator=(const IniDocument&) = default;
  // A document moved from is empty, with a revision of its own.
  IniDocument(IniDocument&& other) noexcept;
  IniDocument& operator=(IniDocument&& other) noexcept;

  // Reading rules: lines trimmed; empty and ";" lines skipped; "[name]" opens a
  // section (a repeated section's lines are ignored); lines before the first
  // section are ignored; "key=value" split at the first "=", both trimmed.
  void Parse(std::wstring_view text);
  // Lines joined with CR LF, a blank line between sections.
  [[nodiscard]] std::wstring Serialize() const;
  // The same text in pieces, in order: a large document is written without
  // being held a second time as one text.
  void SerializeTo(const std::function<void(std::wstring_view)>& write) const;
  void Clear();

  [[nodiscard]] const std::wstring* Find(std::wstring_view section, std::wstring_view key) const;
  [[nodiscard]] std::wstring ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback = {}) const;
  // Signed 32-bit decimal, or hexadecimal after "$" / "0x"; fallback otherwise.
  [[nodiscard]] int32_t ReadInteger(std::wstring_view section, std::wstring_view key, int32_t fallback) const;
  // Integer read with default 0 or 1; any non-zero number is true.
  [[nodiscard]] bool ReadBool(std::wstring_view section, std::wstring_view key, bool fallback) const;
  [[nodiscard]] bool KeyExists(std::wstring_view section, std::wstring_view key) const;
  [[nodiscard]] bool SectionExists(std::wstring_view section) const;
  [[nodiscard]] std::vector<std::wstring> KeyNames(std::wstring_view section) const;
  [[nodiscard]] size_t KeyCount(std::wstring_view section) const;
  [[nodiscard]] const Section* GetSection(std::wstring_view section) const;
  [[nodiscard]] const std::vector<Section>& Sections() const { return sections_; }
  // Changes with every change of the document, to a number that no other
  // state of any document has had: what is derived from a document can be
  // kept as long as its address and revision stay the same.
  [[nodiscard]] uint64_t Revision() const { return revision_; }

  void WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void WriteInteger(std::wstring_view section, std::wstring_view key, int64_t value);
  void WriteBool(std::wstring_view section, std::wstring_view key, bool value);
  void DeleteKey(std::wstring_view section, std::wstring_view key);
  void EraseSection(std::wstring_view section);

 private:
  // A section's keys, without regard to case, to the first entry with each:
  // an open-addressing table of entry numbers that finds the key in the
  // entries themselves, four bytes a slot (a node per key with a folded copy
  // of it would weigh more than many a short entry).
  class SectionIndex {
   public:
    [[nodiscard]] size_t Find(const Entries& entries, std::wstring_view key) const;
    // Indexes entries[i], whose key is not indexed yet.
    void Add(const Entries& entries, size_t i);
    // Indexes every entry again; of equal keys the first counts.
    void Rebuild(const Entries& entries);

   private:
    void Grow(const Entries& entries);
    std::vector<uint32_t> slots_;  // entry number + 1; 0 is free
    size_t count_ = 0;
  };
  [[nodiscard]] Section* FindSectionMutable(std::wstring_view section);
  [[nodiscard]] size_t FindSectionIndex(std::wstring_view section) const;
  Section& EnsureSection(std::wstring_view section);
  void ReindexSection(size_t s);
  void ReindexAll();

  void Changed();

  std::vector<Section> sections_;
  std::vector<SectionIndex> index_;
  std::unordered_map<std::wstring, size_t> sectionIndex_;  // folded name -> section
  uint64_t revision_ = 0;  // 0: empty, never changed
};

}  // namespace ek
