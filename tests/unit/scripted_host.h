// A window for the subsystems whose message boxes answer from a script and
// remember what they asked: the questions of the checks and the completion
// actions run in a test without a screen.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/host.h"
#include "platform/ui.h"

namespace ek::test {

class ScriptedHost : public Host {
 public:
  ScriptedHost() { SetHost(this); }
  ~ScriptedHost() override { SetHost(nullptr); }
  ScriptedHost(const ScriptedHost&) = delete;
  ScriptedHost& operator=(const ScriptedHost&) = delete;

  // The answers of the next boxes, in turn; a box beyond them is a fault of
  // the test (it is answered with the button that ends the question).
  void Answer(std::initializer_list<platform::MsgResult> answers) { answers_.insert(answers_.end(), answers); }

  platform::MsgResult Message(platform::MessageRequest request) override {
    asked.push_back(request);
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected box: " << testing::PrintToString(request.text);
      return Refusal(request);
    }
    const platform::MsgResult r = answers_.front();
    answers_.pop_front();
    return r;
  }
  bool Pump() override { return true; }

  // Answers not yet used (a test that expected more boxes than came).
  size_t Unused() const { return answers_.size(); }

  std::vector<platform::MessageRequest> asked;

 private:
  // The answer that ends a question rather than repeating it.
  static platform::MsgResult Refusal(const platform::MessageRequest& r) {
    using platform::MsgButtons;
    using platform::MsgResult;
    switch (r.buttons) {
      case MsgButtons::Ok: return MsgResult::Ok;
      case MsgButtons::YesNo: return MsgResult::No;
      case MsgButtons::AbortRetryIgnore: return MsgResult::Abort;
      default: return MsgResult::Cancel;
    }
  }
  std::deque<platform::MsgResult> answers_;
};

}  // namespace ek::test
