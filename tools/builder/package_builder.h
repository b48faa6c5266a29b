// The package builder: engine + data archive + configuration archive +
// trailer. Native (runs on the build machine); ZIP writing through libzip.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ekbuild {

struct PayloadFile {
  std::string source;       // file on the build machine; empty for a folder record
  std::string destination;  // "<InstallDir>\..." (UTF-8)
  std::string flags = "11"; // overwrite mode, uninstall flag
  uint8_t attributes = 0;   // MS-DOS attributes stored with the entry
  bool addon = false;       // after SourceFiles
};

struct BuildOptions {
  std::string engine;               // Setup.exe
  std::string configTemplate;       // eksetup.ini written by the author
  std::vector<std::string> configFiles;  // language files, logo, support files
  std::vector<PayloadFile> payload;
  std::string uninstaller;          // optional Uninstall.exe, added as an add-on file
  std::string output;
  std::string configOut;            // also write the final eksetup.ini here
  bool adminFlag = false;
  bool store = false;               // stored entries instead of deflated
  bool mixed = false;               // alternate stored and deflated entries
  // Test hooks for damaged packages.
  std::string rawConfigZip;         // use these bytes as the configuration archive
  std::string rawDataZip;           // use these bytes as the data archive
  std::optional<std::string> trailer;  // the 13 bytes, verbatim
  uint64_t junkAfterTrailer = 0;
  bool noTrailer = false;
};

// Reads a product folder: config/ holds eksetup.ini and the other
// configuration files; files.lst lists "source|destination|flags[|R][|addon]".
bool LoadProductFolder(const std::string& folder, BuildOptions& options, std::string& error);
bool BuildPackage(const BuildOptions& options, std::string& error);

}  // namespace ekbuild
