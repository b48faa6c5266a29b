// A host that stands in for the main window: it records what the engine
// shows (boxes, the wait label, the title, the cursor), answers the dialogs
// from prepared answers, and counts the message pumps with their times.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"

namespace ek::test {

class RecordingHost : public Host {
 public:
  RecordingHost() { SetHost(this); }
  ~RecordingHost() override { SetHost(nullptr); }
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  struct Box {
    platform::MessageRequest request;
    bool owned = false;
  };

  std::wstring Caption() const override { return L"Main Caption"; }
  void SetTitle(const std::wstring& text) override { titles.push_back(text); }
  void ShowWaitLabel(bool visible) override {
    waitVisible = visible;
    waitShows.push_back(visible);
  }
  bool WaitLabelVisible() const override { return waitVisible; }
  std::wstring WaitCaption() const override { return waitCaption; }
  void SetWaitCaption(const std::wstring& text) override {
    waitCaption = text;
    waitCaptions.push_back(text);
  }
  void CenterWaitLabel() override { ++centred; }
  void SetWaitCursor(bool wait) override { cursors.push_back(wait); }
  void ApplyLanguageTexts() override { ++languageTextsApplied; }
  void RefreshOptions() override { ++optionsRefreshed; }

  platform::MsgResult Message(platform::MessageRequest request) override {
    boxes.push_back({request, true});
    return NextAnswer();
  }
  platform::MsgResult UnownedMessage(const platform::MessageRequest& request) override {
    boxes.push_back({request, false});
    return NextAnswer();
  }

  std::optional<std::wstring> InputBox(const std::wstring& title, const std::wstring& prompt,
                                       const std::wstring& initial) override {
    inputs.push_back({title, prompt, initial});
    return inputAnswer;
  }
  std::optional<std::wstring> ChooseFile() override {
    ++fileDialogs;
    return fileAnswer;
  }
  std::optional<std::wstring> ChooseFolder(const FolderRequest& request) override {
    folderRequests.push_back(request);
    return folderAnswer;
  }

  bool Pump() override {
    pumps.push_back(std::chrono::steady_clock::now());
    return Host::Pump();
  }

  // The longest time between two pumps, in milliseconds.
  long LongestPumpGapMs() const {
    long longest = 0;
    for (size_t i = 1; i < pumps.size(); ++i)
      longest = std::max<long>(
          longest, static_cast<long>(
                       std::chrono::duration_cast<std::chrono::milliseconds>(pumps[i] - pumps[i - 1]).count()));
    return longest;
  }

  // Answers of the boxes, in order; then the default (OK or Yes).
  std::deque<platform::MsgResult> answers;
  std::optional<std::wstring> inputAnswer;
  std::optional<std::wstring> fileAnswer;
  std::optional<std::wstring> folderAnswer;

  struct Input {
    std::wstring title, prompt, initial;
  };
  std::vector<Box> boxes;
  std::vector<Input> inputs;
  int fileDialogs = 0;
  std::vector<FolderRequest> folderRequests;
  std::vector<std::wstring> titles;
  std::vector<bool> waitShows;
  bool waitVisible = false;
  std::wstring waitCaption;
  std::vector<std::wstring> waitCaptions;
  int centred = 0;
  std::vector<bool> cursors;
  int languageTextsApplied = 0;
  int optionsRefreshed = 0;
  std::vector<std::chrono::steady_clock::time_point> pumps;

 private:
  platform::MsgResult NextAnswer() {
    if (answers.empty()) return platform::MsgResult::Yes;
    const auto a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace ek::test
