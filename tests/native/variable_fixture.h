// A stand-in for the engine's variable values: plain tables that a test or a
// fuzz input fills. Numbers 2 and 84 expand their own values, as the engine's
// do, and stop at their second visit.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/expansion.h"

namespace ek::fixture {

class TableVariables final : public VariableSource {
 public:
  bool componentsOn = false;
  std::vector<bool> components;
  VersionRules rules;
  std::map<StateToken, std::wstring> state;
  std::vector<std::wstring> userVariables;  // "<Name>=value"
  std::map<int, std::wstring> constants;
  std::map<std::wstring, std::wstring> environment;
  int constantCalls = 0;

  std::optional<bool> ComponentChecked(int number) override {
    if (!componentsOn || number < 1 || static_cast<size_t>(number) > components.size()) return std::nullopt;
    return components[static_cast<size_t>(number) - 1];
  }
  VersionRules Versions() override { return rules; }
  std::wstring StateValue(StateToken token) override {
    auto it = state.find(token);
    return it == state.end() ? std::wstring() : it->second;
  }
  size_t UserVariableCount() override { return userVariables.size(); }
  std::wstring UserVariable(size_t index) override { return userVariables[index]; }
  std::wstring Constant(int number) override {
    ++constantCalls;
    auto it = constants.find(number);
    if (it == constants.end()) return std::wstring();
    if (number != 2 && number != 84) return it->second;
    bool& busy = number == 2 ? busy2_ : busy84_;
    if (busy) return it->second;
    busy = true;
    std::wstring v = ExpandWith(it->second, *this);
    busy = false;
    return v;
  }
  std::wstring Environment(std::wstring_view name) override {
    auto it = environment.find(std::wstring(name));
    return it == environment.end() ? std::wstring() : it->second;
  }

 private:
  bool busy2_ = false, busy84_ = false;
};

}  // namespace ek::fixture
