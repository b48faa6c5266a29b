#include "base/ini_document.h"

#include <algorithm>
#include <atomic>

namespace ek {

void IniDocument::Changed() {
  static std::atomic<uint64_t> revisions{0};
  revision_ = ++revisions;
}

IniDocument::IniDocument(IniDocument&& other) noexcept
    : sections_(std::move(other.sections_)),
      index_(std::move(other.index_)),
      sectionIndex_(std::move(other.sectionIndex_)),
      revision_(other.revision_) {
  other.Clear();
}

IniDocument& IniDocument::operator=(IniDocument&& other) noexcept {
  if (this != &other) {
    sections_ = std::move(other.sections_);
    index_ = std::move(other.index_);
    sectionIndex_ = std::move(other.sectionIndex_);
    revision_ = other.revision_;
    other.Clear();
  }
  return *this;
}

namespace {

// FNV-1a over the folded characters: equal for keys that differ in case only.
size_t FoldedHash(std::wstring_view key) {
  uint32_t h = 2166136261u;
  for (wchar_t c : key) {
    const uint32_t f = static_cast<uint32_t>(FoldChar(c));
    h = (h ^ (f & 0xFFFF)) * 16777619u;
    h = (h ^ (f >> 16)) * 16777619u;
  }
  return h;
}

}  // namespace

size_t IniDocument::SectionIndex::Find(const Entries& entries, std::wstring_view key) const {
  if (slots_.empty()) return npos;
  const size_t mask = slots_.size() - 1;
  for (size_t at = FoldedHash(key) & mask;; at = (at + 1) & mask) {
    const uint32_t slot = slots_[at];
    if (slot == 0) return npos;
    if (EqualsNoCase(entries[slot - 1].key, key)) return slot - 1;
  }
}

void IniDocument::SectionIndex::Add(const Entries& entries, size_t i) {
  // At most half full, so that a search ends soon at a free slot.
  if ((count_ + 1) * 2 > slots_.size()) Grow(entries);
  const size_t mask = slots_.size() - 1;
  size_t at = FoldedHash(entries[i].key) & mask;
  while (slots_[at] != 0) at = (at + 1) & mask;
  slots_[at] = static_cast<uint32_t>(i + 1);
  ++count_;
}

void IniDocument::SectionIndex::Grow(const Entries& entries) {
  std::vector<uint32_t> old = std::move(slots_);
  slots_.assign(std::max<size_t>(8, old.size() * 2), 0);
  const size_t mask = slots_.size() - 1;
  for (uint32_t slot : old) {
    if (slot == 0) continue;
    size_t at = FoldedHash(entries[slot - 1].key) & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

void IniDocument::SectionIndex::Rebuild(const Entries& entries) {
  slots_.clear();
  count_ = 0;
  for (size_t i = 0; i < entries.size(); ++i)
    if (Find(entries, entries[i].key) == npos) Add(entries, i);
}

void IniDocument::Clear() {
  sections_.clear();
  index_.clear();
  sectionIndex_.clear();
  Changed();
}

void IniDocument::Parse(std::wstring_view text) {
  Clear();
  Section* current = nullptr;
  bool ignoring = true;  // lines before the first section are ignored
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring_view::npos) end = text.size();
    std::wstring_view raw = text.substr(pos, end - pos);
    if (end < text.size() && text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ++end;
    pos = end + 1;

    std::wstring line = Trim(raw);
    if (line.empty() || line[0] == L';') continue;
    if (line.front() == L'[' && line.back() == L']') {
      std::wstring name = Trim(std::wstring_view(line).substr(1, line.size() - 2));
      std::wstring folded = FoldCase(name);
      if (sectionIndex_.count(folded)) {
        ignoring = true;  // a repeated section: its lines are ignored
        current = nullptr;
      } else {
        sectionIndex_.emplace(std::move(folded), sections_.size());
        sections_.push_back(Section{std::move(name), {}});
        index_.emplace_back();
        current = &sections_.back();
        ignoring = false;
      }
      continue;
    }
    if (ignoring || current == nullptr) continue;
    Entry entry;
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) {
      entry.key = line;
      entry.hasValue = false;
    } else {
      entry.key = Trim(std::wstring_view(line).substr(0, eq));
      entry.value = Trim(std::wstring_view(line).substr(eq + 1));
    }
    auto& idx = index_.back();
    const bool first = idx.Find(current->entries, entry.key) == npos;  // the first occurrence wins
    current->entries.push_back(std::move(entry));
    if (first) idx.Add(current->entries, current->entries.size() - 1);
  }
  Changed();
}

std::wstring IniDocument::Serialize() const {
  std::wstring out;
  SerializeTo([&](std::wstring_view piece) { out += piece; });
  return out;
}

void IniDocument::SerializeTo(const std::function<void(std::wstring_view)>& write) const {
  bool first = true;
  for (const auto& s : sections_) {
    if (!first) write(L"\r\n");
    first = false;
    write(L"[");
    write(s.name);
    write(L"]\r\n");
    for (const auto& e : s.entries) {
      write(e.key);
      if (e.hasValue) {
        write(L"=");
        write(e.value);
      }
      write(L"\r\n");
    }
  }
}

size_t IniDocument::FindSectionIndex(std::wstring_view section) const {
  auto it = sectionIndex_.find(FoldCase(section));
  return it == sectionIndex_.end() ? npos : it->second;
}

const IniDocument::Section* IniDocument::GetSection(std::wstring_view section) const {
  size_t s = FindSectionIndex(section);
  return s == npos ? nullptr : &sections_[s];
}

IniDocument::Section* IniDocument::FindSectionMutable(std::wstring_view section) {
  size_t s = FindSectionIndex(section);
  return s == npos ? nullptr : &sections_[s];
}

const std::wstring* IniDocument::Find(std::wstring_view section, std::wstring_view key) const {
  size_t s = FindSectionIndex(section);
  if (s == npos) return nullptr;
  const size_t e = index_[s].Find(sections_[s].entries, key);
  return e == npos ? nullptr : &sections_[s].entries[e].value;
}

std::wstring IniDocument::ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback) const {
  const std::wstring* v = Find(section, key);
  return v ? *v : std::wstring(fallback);
}

int32_t IniDocument::ReadInteger(std::wstring_view section, std::wstring_view key, int32_t fallback) const {
  const std::wstring* v = Find(section, key);
  if (!v) return fallback;
  auto parsed = ParseInt32(*v);
  return parsed ? *parsed : fallback;
}

bool IniDocument::ReadBool(std::wstring_view section, std::wstring_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

bool IniDocument::KeyExists(std::wstring_view section, std::wstring_view key) const {
  return Find(section, key) != nullptr;
}

bool IniDocument::SectionExists(std::wstring_view section) const { return FindSectionIndex(section) != npos; }

std::vector<std::wstring> IniDocument::KeyNames(std::wstring_view section) const {
  std::vector<std::wstring> out;
  if (const Section* s = GetSection(section)) {
    out.reserve(s->entries.size());
    for (const auto& e : s->entries) out.push_back(e.key);
  }
  return out;
}

size_t IniDocument::KeyCount(std::wstring_view section) const {
  const Section* s = GetSection(section);
  return s ? s->entries.size() : 0;
}

IniDocument::Section& IniDocument::EnsureSection(std::wstring_view section) {
  size_t s = FindSectionIndex(section);
  if (s != npos) return sections_[s];
  sectionIndex_.emplace(FoldCase(section), sections_.size());
  sections_.push_back(Section{std::wstring(section), {}});
  index_.emplace_back();
  return sections_.back();
}

void IniDocument::WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  Changed();
  Section& s = EnsureSection(section);
  const size_t si = static_cast<size_t>(&s - sections_.data());
  auto& idx = index_[si];
  const size_t found = idx.Find(s.entries, key);
  if (found != npos) {
    Entry& e = s.entries[found];
    e.value.assign(value);
    e.hasValue = true;
    return;
  }
  s.entries.push_back(Entry{std::wstring(key), std::wstring(value), true});
  idx.Add(s.entries, s.entries.size() - 1);
}

void IniDocument::WriteInteger(std::wstring_view section, std::wstring_view key, int64_t value) {
  WriteString(section, key, ToText(value));
}

void IniDocument::WriteBool(std::wstring_view section, std::wstring_view key, bool value) {
  WriteString(section, key, value ? L"1" : L"0");
}

void IniDocument::ReindexSection(size_t s) { index_[s].Rebuild(sections_[s].entries); }

void IniDocument::ReindexAll() {
  sectionIndex_.clear();
  for (size_t s = 0; s < sections_.size(); ++s) sectionIndex_.emplace(FoldCase(sections_[s].name), s);
}

void IniDocument::DeleteKey(std::wstring_view section, std::wstring_view key) {
  size_t s = FindSectionIndex(section);
  if (s == npos) return;
  auto& entries = sections_[s].entries;
  const std::wstring folded = FoldCase(key);
  bool removed = false;
  for (size_t i = entries.size(); i-- > 0;) {
    if (FoldCase(entries[i].key) == folded) {
      entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    }
  }
  if (removed) {
    ReindexSection(s);
    Changed();
  }
}

void IniDocument::EraseSection(std::wstring_view section) {
  size_t s = FindSectionIndex(section);
  if (s == npos) return;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(s));
  index_.erase(index_.begin() + static_cast<std::ptrdiff_t>(s));
  ReindexAll();
  Changed();
}

}  // namespace ek
