// Every program start of the engine, with optional elevation and waiting.
#pragma once

#include <string>
#include <string_view>

#include "platform/process.h"

namespace ek {

// Starts the file through the shell. When waiting, the message loop keeps
// running and LastExitCode receives the exit code ("-1" when the start fails).
bool RunProcess(platform::WindowHandle owner, const std::wstring& file, const std::wstring& parameters, int show,
                bool wait, bool elevate, bool showWaitLabel);
// A whole command line in one text, with X86[..] / X32[..] / X64[..]
// alternatives; a non-file is handed to the shell to open.
bool RunCommandLine(platform::WindowHandle owner, std::wstring_view commandLine, bool wait, bool askRetry, bool elevate);
// One step of the wait label's dots.
void AnimateWaitLabel(bool sleepFirst);

struct CommandLineSplit {
  std::wstring program;
  std::wstring parameters;
};
// The bitness choice and the program/parameters split (pure rules).
std::wstring ChooseBitnessAlternative(std::wstring_view text, bool is64BitOs);
CommandLineSplit SplitCommandLine(std::wstring_view text, bool noSplit);

}  // namespace ek
