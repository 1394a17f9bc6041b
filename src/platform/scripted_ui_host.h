// A UiHost for tests: the test queues the questions it expects, in order, with their answers;
// the host answers them, records everything it was asked and keeps anything unexpected for the
// test to inspect instead of guessing an answer.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kx7 {

class ScriptedUiHost : public UiHost {
 public:
  enum class QuestionKind { kMessage, kFile, kList, kDialog };

  // One question as it was asked.
  struct Question {
    QuestionKind kind = QuestionKind::kMessage;
    std::string text;     // message text, list or dialog title, file dialog title
    std::string caption;  // message caption
    MessageButtons buttons = MessageButtons::kOk;
    MessageIcon icon = MessageIcon::kNone;
    FileDialogRequest file;
    std::vector<std::string> lines;  // list choice
    std::string dialogKind;
    // Dialogs: whether the model accepted OK (OnOk returned true).
    bool accepted = false;
  };

  struct OpenedWindow {
    WindowId window = kNoWindow;
    Placement placement;
  };

  // A message box whose text is exactly `text` is answered with `answer`.
  void ExpectMessage(const std::string& text, Answer answer);
  // The next file dialog returns `path` (nothing: cancelled).
  void ExpectFile(std::optional<std::string> path);
  // The next list choice returns `index` (nothing: cancelled).
  void ExpectList(std::optional<std::size_t> index);
  // The next dialog must be of `kind`. `fill` may change the model's fields and returns true to
  // press OK (the model's OnOk then decides) or false to cancel. No `fill` presses OK unchanged.
  void ExpectDialog(const std::string& kind, std::function<bool(DialogModel&)> fill = nullptr);

  // What OpenWindow answers from now on (true at first).
  void SetOpenWindowResult(bool result) { openWindowResult_ = result; }

  // Everything asked, in order, expected or not.
  const std::vector<Question>& Asked() const { return asked_; }
  // Questions that did not match the next expectation. They were answered Cancel (message
  // boxes), nothing (file and list) or false (dialogs), and did not use up the expectation.
  const std::vector<Question>& Unexpected() const { return unexpected_; }
  // True when every expectation was met.
  bool AllConsumed() const { return expected_.empty(); }
  // A readable account of the unexpected questions and the expectations left, for test output.
  std::string Report() const;

  // The message texts asked so far, in order.
  std::vector<std::string> MessageTexts() const;

  const std::vector<OpenedWindow>& Opened() const { return opened_; }
  const std::vector<WindowId>& Closed() const { return closed_; }
  const std::vector<WindowId>& Invalidated() const { return invalidated_; }

  Answer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                    MessageIcon icon) override;
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
  std::optional<std::size_t> ChooseFromList(const std::string& title, const std::vector<std::string>& lines) override;
  bool RunDialog(DialogModel& model) override;
  bool OpenWindow(Window& window, const Placement& placement) override;
  void CloseWindow(Window& window) override;
  void Invalidate(WindowId window) override;

 private:
  struct Expectation {
    QuestionKind kind = QuestionKind::kMessage;
    std::string text;  // message text or dialog kind
    Answer answer = Answer::kOk;
    std::optional<std::string> path;
    std::optional<std::size_t> index;
    std::function<bool(DialogModel&)> fill;
  };

  // Takes the next expectation when it matches `question`; records it as unexpected otherwise.
  std::optional<Expectation> Take(const Question& question);
  static std::string Describe(const Question& question);
  static std::string Describe(const Expectation& expectation);

  std::deque<Expectation> expected_;
  std::vector<Question> asked_;
  std::vector<Question> unexpected_;
  std::vector<OpenedWindow> opened_;
  std::vector<WindowId> closed_;
  std::vector<WindowId> invalidated_;
  bool openWindowResult_ = true;
};

}  // namespace kx7
