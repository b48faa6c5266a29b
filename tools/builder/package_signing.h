// Signing a finished setup file with Authenticode, through osslsigncode. The
// whole package is signed, so the signature follows the trailer; the engine
// finds its trailer behind it.
#pragma once

#include <string>

namespace ekbuild {

struct SigningOptions {
  std::string certificate;  // PEM (or DER) certificate chain, or a PKCS#12 file with the key
  std::string key;          // private key (PEM/DER); empty with a PKCS#12 certificate
  std::string password;     // of the key or the PKCS#12 file; may be empty
  std::string timestampUrl; // RFC 3161 time-stamping service; empty: none
};

// Signs `file` in place. False with a reason when osslsigncode is missing or
// refuses; the file is then left as it was.
bool SignPackage(const std::string& file, const SigningOptions& options, std::string& error);

}  // namespace ekbuild
