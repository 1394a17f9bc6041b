#include "platform/scripted_ui_host.h"

#include "platform/window.h"

namespace kx7 {

void ScriptedUiHost::ExpectMessage(const std::string& text, Answer answer) {
  Expectation expectation;
  expectation.kind = QuestionKind::kMessage;
  expectation.text = text;
  expectation.answer = answer;
  expected_.push_back(std::move(expectation));
}

void ScriptedUiHost::ExpectFile(std::optional<std::string> path) {
  Expectation expectation;
  expectation.kind = QuestionKind::kFile;
  expectation.path = std::move(path);
  expected_.push_back(std::move(expectation));
}

void ScriptedUiHost::ExpectList(std::optional<std::size_t> index) {
  Expectation expectation;
  expectation.kind = QuestionKind::kList;
  expectation.index = index;
  expected_.push_back(std::move(expectation));
}

void ScriptedUiHost::ExpectDialog(const std::string& kind, std::function<bool(DialogModel&)> fill) {
  Expectation expectation;
  expectation.kind = QuestionKind::kDialog;
  expectation.text = kind;
  expectation.fill = std::move(fill);
  expected_.push_back(std::move(expectation));
}

std::optional<ScriptedUiHost::Expectation> ScriptedUiHost::Take(const Question& question) {
  asked_.push_back(question);
  bool matches = !expected_.empty() && expected_.front().kind == question.kind;
  if (matches && question.kind == QuestionKind::kMessage) matches = expected_.front().text == question.text;
  if (matches && question.kind == QuestionKind::kDialog) matches = expected_.front().text == question.dialogKind;
  if (!matches) {
    // The expectation stays: an extra question in the code under test shows up as exactly one
    // unexpected entry, and the script still lines up with what follows.
    unexpected_.push_back(question);
    return std::nullopt;
  }
  Expectation expectation = std::move(expected_.front());
  expected_.pop_front();
  return expectation;
}

Answer ScriptedUiHost::MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                  MessageIcon icon) {
  Question question;
  question.kind = QuestionKind::kMessage;
  question.text = text;
  question.caption = caption;
  question.buttons = buttons;
  question.icon = icon;
  const auto expectation = Take(question);
  return expectation ? expectation->answer : Answer::kCancel;
}

std::optional<std::string> ScriptedUiHost::FileDialog(const FileDialogRequest& request) {
  Question question;
  question.kind = QuestionKind::kFile;
  question.text = request.title;
  question.file = request;
  const auto expectation = Take(question);
  return expectation ? expectation->path : std::nullopt;
}

std::optional<std::size_t> ScriptedUiHost::ChooseFromList(const std::string& title,
                                                          const std::vector<std::string>& lines) {
  Question question;
  question.kind = QuestionKind::kList;
  question.text = title;
  question.lines = lines;
  const auto expectation = Take(question);
  if (!expectation || !expectation->index) return std::nullopt;
  if (*expectation->index >= lines.size()) {
    // No operator could pick a line that is not there: the script is wrong.
    unexpected_.push_back(question);
    return std::nullopt;
  }
  return expectation->index;
}

bool ScriptedUiHost::RunDialog(DialogModel& model) {
  Question question;
  question.kind = QuestionKind::kDialog;
  question.text = model.Title();
  question.dialogKind = model.Kind();
  auto expectation = Take(question);
  if (!expectation) return false;
  const bool pressOk = expectation->fill ? expectation->fill(model) : true;
  // A real dialog stays open when OnOk refuses; the script has no further input for it, so that
  // counts as cancelling.
  const bool accepted = pressOk && model.OnOk();
  asked_.back().accepted = accepted;
  return accepted;
}

bool ScriptedUiHost::OpenWindow(Window& window, const Placement& placement) {
  opened_.push_back({window.Id(), placement});
  return openWindowResult_;
}

void ScriptedUiHost::CloseWindow(Window& window) { closed_.push_back(window.Id()); }

void ScriptedUiHost::Invalidate(WindowId window) { invalidated_.push_back(window); }

std::vector<std::string> ScriptedUiHost::MessageTexts() const {
  std::vector<std::string> texts;
  for (const Question& question : asked_)
    if (question.kind == QuestionKind::kMessage) texts.push_back(question.text);
  return texts;
}

std::string ScriptedUiHost::Describe(const Question& question) {
  switch (question.kind) {
    case QuestionKind::kMessage:
      return "message box \"" + question.text + "\" (caption \"" + question.caption + "\")";
    case QuestionKind::kFile:
      return std::string(question.file.save ? "save" : "open") + " file dialog \"" + question.text + "\" (filter \"" +
             question.file.filter + "\")";
    case QuestionKind::kList:
      return "list choice \"" + question.text + "\" of " + std::to_string(question.lines.size()) + " lines";
    case QuestionKind::kDialog:
      return "dialog " + question.dialogKind + " \"" + question.text + "\"";
  }
  return {};
}

std::string ScriptedUiHost::Describe(const Expectation& expectation) {
  switch (expectation.kind) {
    case QuestionKind::kMessage:
      return "message box \"" + expectation.text + "\"";
    case QuestionKind::kFile:
      return "file dialog";
    case QuestionKind::kList:
      return "list choice";
    case QuestionKind::kDialog:
      return "dialog " + expectation.text;
  }
  return {};
}

std::string ScriptedUiHost::Report() const {
  std::string report;
  for (const Question& question : unexpected_) report += "unexpected: " + Describe(question) + "\n";
  for (const Expectation& expectation : expected_) report += "still expected: " + Describe(expectation) + "\n";
  return report;
}

}  // namespace kx7
