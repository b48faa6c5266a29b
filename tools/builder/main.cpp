// ekbuild: turns a product folder into a setup file.
//
//   ekbuild --engine Setup.exe --product DIR --out MyProduct-setup.exe
//           [--uninstaller Uninstall.exe] [--admin] [--store | --mixed]
//           [--sign CERT [--key KEY] [--pass PASSWORD] [--timestamp URL]]
//
// DIR/config/eksetup.ini is the author's configuration (sizes, counts and the
// [Files] records are filled in); every other file in DIR/config/ goes into
// the configuration archive; DIR/files.lst lists the payload, one line each:
//   source|destination|flags[|R][|addon]
// with source relative to DIR ("-" for a folder record), destination such as
// <InstallDir>\bin\tool.dll, flags such as 11, R for a read-only file.
// --sign signs the finished file with osslsigncode: CERT is a PEM certificate
// chain with --key, or a PKCS#12 file holding the key.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "package_builder.h"
#include "package_signing.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: ekbuild --engine Setup.exe --product DIR --out FILE [--uninstaller FILE] [--admin]\n"
               "               [--store|--mixed] [--raw-config ZIP] [--raw-data ZIP] [--trailer TEXT]\n"
               "               [--no-trailer] [--junk N]\n"
               "               [--sign CERT [--key KEY] [--pass PASSWORD] [--timestamp URL]]\n");
}

}  // namespace

int main(int argc, char** argv) {
  ekbuild::BuildOptions o;
  ekbuild::SigningOptions signing;
  std::string product;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](const char* what) -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ekbuild: %s needs a value\n", what);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--engine") o.engine = next("--engine");
    else if (a == "--product") product = next("--product");
    else if (a == "--out") o.output = next("--out");
    else if (a == "--uninstaller") o.uninstaller = next("--uninstaller");
    else if (a == "--admin") o.adminFlag = true;
    else if (a == "--store") o.store = true;
    else if (a == "--mixed") o.mixed = true;
    else if (a == "--raw-config") o.rawConfigZip = next("--raw-config");
    else if (a == "--raw-data") o.rawDataZip = next("--raw-data");
    else if (a == "--trailer") o.trailer = next("--trailer");
    else if (a == "--no-trailer") o.noTrailer = true;
    else if (a == "--junk") o.junkAfterTrailer = std::strtoull(next("--junk").c_str(), nullptr, 10);
    else if (a == "--sign") signing.certificate = next("--sign");
    else if (a == "--key") signing.key = next("--key");
    else if (a == "--pass") signing.password = next("--pass");
    else if (a == "--timestamp") signing.timestampUrl = next("--timestamp");
    else {
      Usage();
      return 2;
    }
  }
  if (o.engine.empty() || product.empty() || o.output.empty()) {
    Usage();
    return 2;
  }
  std::string error;
  if (!ekbuild::LoadProductFolder(product, o, error) || !ekbuild::BuildPackage(o, error)) {
    std::fprintf(stderr, "ekbuild: %s\n", error.c_str());
    return 1;
  }
  if (!signing.certificate.empty() && !ekbuild::SignPackage(o.output, signing, error)) {
    std::fprintf(stderr, "ekbuild: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
