#include "actions/command_verbs.h"

#include "base/text.h"
#include "config/utilities.h"
#include "platform/file_system.h"
#include "platform/shell.h"

namespace ek {
namespace {

// The font file of the parameters (double quotes removed); added or removed
// when it exists, and the change announced when that worked.
void ChangeFont(const VerbCall& call, bool add) {
  const std::wstring font = ExtendedPathRule(ReplaceAll(call.parameters, L"\"", L""), call.noLongPathPrefix);
  if (!platform::FileExists(font)) return;
  const bool changed = add ? platform::AddFont(font) != 0 : platform::RemoveFont(font);
  if (changed) platform::BroadcastFontChange();
}

constexpr CommandVerb kSystemVerbs[] = {
    {L"SHCNE_ASSOCCHANGED", [](const VerbCall&) { platform::NotifyAssociationsChanged(false); }},
    {L"SPI_SETDESKWALLPAPER", [](const VerbCall&) { platform::RefreshWallpaper(); }},
    {L"REGFONT", [](const VerbCall& call) { ChangeFont(call, true); }},
    {L"UNREGFONT", [](const VerbCall& call) { ChangeFont(call, false); }},
    {L"WM_FONTCHANGE", [](const VerbCall&) { platform::BroadcastFontChange(); }},
    {L"WM_SETTINGCHANGE", [](const VerbCall&) { platform::BroadcastEnvironmentChange(); }},
};

}  // namespace

const CommandVerb* FindSystemVerb(std::wstring_view command) {
  for (const auto& verb : kSystemVerbs)
    if (EqualsNoCaseAscii(command, verb.name)) return &verb;
  return nullptr;
}

bool IsUrlCommand(std::wstring_view command) { return command.find(L"://") != std::wstring_view::npos; }

std::wstring ProgramOfCommand(std::wstring_view command) {
  if (command.size() > 2 && command.front() == L'"' && command.back() == L'"')
    return std::wstring(command.substr(1, command.size() - 2));
  return std::wstring(command);
}

}  // namespace ek
