// The checks before installing: the Internet connection, applications that
// must not be running, the runtimes the product needs, then the package's
// own prerequisites; and the offer of a remedy for what is missing.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "actions/runtime_detection.h"

namespace ek {

enum class RemedyResult {
  CheckAgain,    // the remedy was started or confirmed
  StaysMissing,  // declined, or only informed
  EndSetup,      // a silent run that cannot run the remedy unattended
};

// The remedy of a missing prerequisite: a download page or installer, a
// message of the package's own (MSG(, MSGR(, MSGC(), or, for an empty link,
// only the message. messageIndex: 7 for a runtime, 8 for a custom
// prerequisite. The caller ends setup for EndSetup.
[[nodiscard]] RemedyResult HandleMissingPrerequisite(const std::wstring& name, const std::wstring& link,
                                                     int messageIndex);

// The address or file a package message points at (an http(s) address, or a
// path on a drive); empty when it names none.
[[nodiscard]] std::wstring RemedyTarget(std::wstring_view text);

// The message of an empty link: without the final question, which would
// offer an installation there is none of.
[[nodiscard]] std::wstring WithoutFinalQuestion(std::wstring_view message);

// What the checks find out about the machine, replaceable in tests.
struct SystemProbes {
  std::function<bool()> internetAvailable;
  MachineRegistry runtimes;  // where the runtime detectors read
};
[[nodiscard]] SystemProbes MachineProbes();

// Passed: the machine passed or the user chose to go on; Refused: setup must
// end with exit code 5.
enum class ChecksResult { Passed, Refused };
[[nodiscard]] ChecksResult CheckSystem(const SystemProbes& probes);
// The checks of the first activation; a refusal ends setup with exit code 5.
void RunSystemChecks();

}  // namespace ek
