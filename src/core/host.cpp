#include "core/host.h"

namespace ek {
namespace {

Host g_defaultHost;
Host* g_host = &g_defaultHost;

}  // namespace

platform::MsgResult Host::Message(platform::MessageRequest request) {
  request.owner = Owner();
  if (request.caption.empty()) request.caption = Caption();
  return platform::ShowMessage(request);
}

platform::MsgResult Host::UnownedMessage(const platform::MessageRequest& request) {
  return platform::ShowMessage(request);
}

platform::MsgResult Host::AskOverwrite(const std::wstring& text) {
  return platform::AskOverwrite(Owner(), text, Caption());
}

bool Host::Pump() { return platform::PumpMessages(); }

Host& host() { return *g_host; }

void SetHost(Host* window) { g_host = window ? window : &g_defaultHost; }

namespace {

platform::MessageRequest Request(const std::wstring& text, platform::MsgIcon icon, platform::MsgButtons buttons,
                                 int defaultButton, const std::wstring& caption, bool topmost) {
  platform::MessageRequest r;
  r.text = text;
  r.caption = caption;
  r.icon = icon;
  r.buttons = buttons;
  r.defaultButton = defaultButton;
  r.topmost = topmost;
  return r;
}

}  // namespace

platform::MsgResult MessageOnMain(const std::wstring& text, platform::MsgIcon icon, platform::MsgButtons buttons,
                                  int defaultButton, const std::wstring& caption, bool topmost) {
  return host().Message(Request(text, icon, buttons, defaultButton, caption, topmost));
}

platform::MsgResult MessageWithoutOwner(const std::wstring& text, const std::wstring& caption, platform::MsgIcon icon,
                                        platform::MsgButtons buttons, bool topmost) {
  return host().UnownedMessage(Request(text, icon, buttons, 1, caption, topmost));
}

}  // namespace ek
