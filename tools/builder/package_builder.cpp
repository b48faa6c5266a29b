#include "package_builder.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/file_record.h"
#include "base/ini_document.h"
#include "base/text.h"
#include "base/package_trailer.h"

namespace fs = std::filesystem;

namespace ekbuild {
namespace {

bool ReadFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::vector<std::string> SplitBar(const std::string& line) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (true) {
    size_t bar = line.find('|', pos);
    out.push_back(Trim(line.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos)));
    if (bar == std::string::npos) break;
    pos = bar + 1;
  }
  return out;
}

// Writes a ZIP archive through libzip and returns its bytes.
class ZipWriter {
 public:
  explicit ZipWriter(const std::string& path) : path_(path) {
    int err = 0;
    za_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  }
  ~ZipWriter() {
    if (za_) zip_discard(za_);
  }
  bool ok() const { return za_ != nullptr; }
  // Adds a file from disk (or a folder entry when source is empty).
  bool AddFile(const std::string& name, const std::string& source, bool store, uint8_t dosAttributes, std::string& error) {
    if (source.empty()) {
      zip_int64_t idx = zip_dir_add(za_, name.c_str(), ZIP_FL_ENC_UTF_8);
      if (idx < 0) return Fail(error);
      return true;
    }
    zip_source_t* src = zip_source_file(za_, source.c_str(), 0, -1);
    if (!src) return Fail(error);
    zip_int64_t idx = zip_file_add(za_, name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (idx < 0) {
      zip_source_free(src);
      return Fail(error);
    }
    zip_set_file_compression(za_, static_cast<zip_uint64_t>(idx), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 6);
    struct stat st;
    if (::stat(source.c_str(), &st) == 0) zip_file_set_mtime(za_, static_cast<zip_uint64_t>(idx), st.st_mtime, 0);
    // Made by an MS-DOS host: the low byte carries the Windows attributes.
    zip_file_set_external_attributes(za_, static_cast<zip_uint64_t>(idx), 0, ZIP_OPSYS_DOS,
                                     dosAttributes ? dosAttributes : 0x20);
    return true;
  }
  bool AddBuffer(const std::string& name, const std::string& data, std::string& error) {
    void* copy = std::malloc(data.size() ? data.size() : 1);
    std::memcpy(copy, data.data(), data.size());
    zip_source_t* src = zip_source_buffer(za_, copy, data.size(), 1);
    if (!src) return Fail(error);
    zip_int64_t idx = zip_file_add(za_, name.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (idx < 0) {
      zip_source_free(src);
      return Fail(error);
    }
    return true;
  }
  bool Close(std::string& error) {
    if (zip_close(za_) != 0) {
      Fail(error);
      zip_discard(za_);
      za_ = nullptr;
      return false;
    }
    za_ = nullptr;
    return true;
  }

 private:
  bool Fail(std::string& error) {
    error = std::string("zip: ") + (za_ ? zip_strerror(za_) : "cannot open");
    return false;
  }
  std::string path_;
  zip_t* za_ = nullptr;
};

uint64_t SizeOf(const std::string& path) {
  std::error_code ec;
  auto n = fs::file_size(path, ec);
  return ec ? 0 : n;
}

}  // namespace

bool LoadProductFolder(const std::string& folder, BuildOptions& o, std::string& error) {
  const fs::path root(folder);
  const fs::path config = root / "config";
  if (!fs::exists(config / "eksetup.ini")) {
    error = "missing " + (config / "eksetup.ini").string();
    return false;
  }
  o.configTemplate = (config / "eksetup.ini").string();
  std::vector<std::string> extra;
  for (const auto& e : fs::directory_iterator(config)) {
    if (!e.is_regular_file() || e.path().filename() == "eksetup.ini") continue;
    extra.push_back(e.path().string());
  }
  std::sort(extra.begin(), extra.end());
  o.configFiles.insert(o.configFiles.end(), extra.begin(), extra.end());
  std::string list;
  if (!ReadFile((root / "files.lst").string(), list)) return true;  // a product without payload
  std::istringstream in(list);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    auto f = SplitBar(line);
    if (f.size() < 3) {
      error = "files.lst line " + std::to_string(lineNo) + ": expected source|destination|flags";
      return false;
    }
    PayloadFile p;
    p.source = f[0].empty() || f[0] == "-" ? std::string() : (root / f[0]).string();
    p.destination = f[1];
    p.flags = f[2];
    for (size_t i = 3; i < f.size(); ++i) {
      if (f[i] == "addon") p.addon = true;
      for (char c : f[i]) {
        if (f[i] == "addon") break;
        if (c == 'R') p.attributes |= 0x01;
        if (c == 'H') p.attributes |= 0x02;
        if (c == 'S') p.attributes |= 0x04;
        if (c == 'A') p.attributes |= 0x20;
      }
    }
    if (!p.source.empty() && !fs::exists(p.source)) {
      error = "files.lst line " + std::to_string(lineNo) + ": missing " + p.source;
      return false;
    }
    o.payload.push_back(p);
  }
  return true;
}

bool BuildPackage(const BuildOptions& o, std::string& error) {
  std::string engine;
  if (!ReadFile(o.engine, engine)) {
    error = "cannot read engine " + o.engine;
    return false;
  }
  const fs::path work = fs::path(o.output).parent_path() / (fs::path(o.output).filename().string() + ".parts");
  fs::create_directories(work);

  // Source files first, then the add-on files; the uninstaller is an add-on.
  std::vector<PayloadFile> records;
  for (const auto& p : o.payload)
    if (!p.addon) records.push_back(p);
  const size_t sourceFiles = records.size();
  for (const auto& p : o.payload)
    if (p.addon) records.push_back(p);

  std::string iniText;
  if (!ReadFile(o.configTemplate, iniText)) {
    error = "cannot read " + o.configTemplate;
    return false;
  }
  ek::IniDocument ini;
  ini.Parse(ek::DecodeText(iniText, ek::TextEncoding::Utf8).text);
  const std::wstring uninstallFile = ini.ReadString(L"Setup", L"UninstallFile", L"Uninstall.exe");
  int uninstallIndex = -1;
  if (!o.uninstaller.empty()) {
    PayloadFile u;
    u.source = o.uninstaller;
    u.destination = "<InstallDir>\\" + ek::WideToUtf8(uninstallFile);
    u.flags = "11";
    u.addon = true;
    uninstallIndex = static_cast<int>(records.size());
    records.push_back(u);
  }

  // Data archive: entry i is the payload of [Files] record i.
  std::string data;
  uint64_t sourceSize = 0, addonSize = 0;
  if (!o.rawDataZip.empty()) {
    if (!ReadFile(o.rawDataZip, data)) {
      error = "cannot read " + o.rawDataZip;
      return false;
    }
  } else {
    const std::string dataPath = (work / "ekdatafile.zip").string();
    ZipWriter zw(dataPath);
    if (!zw.ok()) {
      error = "cannot create " + dataPath;
      return false;
    }
    for (size_t i = 0; i < records.size(); ++i) {
      const auto& r = records[i];
      if (r.source.empty()) continue;  // folder records have no entry
      const bool store = o.store || (o.mixed && i % 2 == 0);
      if (!zw.AddFile(std::to_string(i), r.source, store, r.attributes, error)) return false;
      (i < sourceFiles ? sourceSize : addonSize) += SizeOf(r.source);
    }
    if (!zw.Close(error)) return false;
    // libzip writes nothing for an archive without entries; a product without
    // payload still gets a valid, empty archive.
    if (!fs::exists(dataPath)) data.assign("PK\x05\x06" + std::string(18, '\0'));
    else if (!ReadFile(dataPath, data)) {
      error = "cannot read back " + dataPath;
      return false;
    }
  }

  // The configuration: sizes, counts and records, so nobody writes them by hand.
  ini.WriteString(L"Setup", L"EngineSize", ek::ToText(static_cast<int64_t>(engine.size())));
  ini.WriteString(L"Setup", L"EKDataFileSize", ek::ToText(static_cast<int64_t>(data.size())));
  ini.WriteString(L"Setup", L"TotalFiles", ek::ToText(static_cast<int64_t>(records.size())));
  ini.WriteString(L"Setup", L"SourceFiles", ek::ToText(static_cast<int64_t>(sourceFiles)));
  ini.WriteString(L"Setup", L"UninstallIndex", ek::ToText(uninstallIndex));
  if (!ini.KeyExists(L"Setup", L"TotalSize"))
    ini.WriteString(L"Setup", L"TotalSize", ek::ToText(static_cast<int64_t>(sourceSize + addonSize)));
  if (!ini.KeyExists(L"Setup", L"SourceSize"))
    ini.WriteString(L"Setup", L"SourceSize", ek::ToText(static_cast<int64_t>(sourceSize)));
  if (!ini.KeyExists(L"Setup", L"AddonSize"))
    ini.WriteString(L"Setup", L"AddonSize", ek::ToText(static_cast<int64_t>(addonSize)));
  if (!o.uninstaller.empty() && !ini.KeyExists(L"Setup", L"Uninstall")) ini.WriteString(L"Setup", L"Uninstall", L"1");
  ini.EraseSection(ek::kFilesSection);
  for (size_t i = 0; i < records.size(); ++i) {
    const auto& r = records[i];
    const ek::FileRecord record{ek::Utf8ToWide(r.destination), ek::Utf8ToWide(r.flags)};
    ini.WriteString(ek::kFilesSection, ek::ToText(static_cast<int64_t>(i)), record.Format());
  }

  if (!o.configOut.empty()) {
    std::ofstream c(o.configOut, std::ios::binary | std::ios::trunc);
    const std::string text = ek::WideToUtf8(ini.Serialize());
    c.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::string config;
  if (!o.rawConfigZip.empty()) {
    if (!ReadFile(o.rawConfigZip, config)) {
      error = "cannot read " + o.rawConfigZip;
      return false;
    }
  } else {
    const std::string configPath = (work / "eksetup.zip").string();
    ZipWriter zw(configPath);
    if (!zw.ok()) {
      error = "cannot create " + configPath;
      return false;
    }
    if (!zw.AddBuffer("eksetup.ini", ek::WideToUtf8(ini.Serialize()), error)) return false;
    for (const auto& f : o.configFiles)
      if (!zw.AddFile(fs::path(f).filename().string(), f, false, 0, error)) return false;
    if (!zw.Close(error)) return false;
    if (!ReadFile(configPath, config)) {
      error = "cannot read back " + configPath;
      return false;
    }
  }

  std::ofstream out(o.output, std::ios::binary | std::ios::trunc);
  if (!out) {
    error = "cannot create " + o.output;
    return false;
  }
  out.write(engine.data(), static_cast<std::streamsize>(engine.size()));
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.write(config.data(), static_cast<std::streamsize>(config.size()));
  if (!o.noTrailer) {
    const std::string trailer = o.trailer ? *o.trailer : ek::FormatTrailer(o.adminFlag, static_cast<uint32_t>(config.size()));
    out.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
  }
  if (o.junkAfterTrailer) {
    std::string junk(static_cast<size_t>(o.junkAfterTrailer), 'j');
    out.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  out.close();
  if (!out) {
    error = "cannot write " + o.output;
    return false;
  }
  fs::remove_all(work);
  fs::permissions(o.output, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::replace);
  return true;
}

}  // namespace ekbuild
