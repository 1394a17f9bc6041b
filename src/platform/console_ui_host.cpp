#include "platform/console_ui_host.h"

namespace kx7 {

Answer ConsoleUiHost::DefaultAnswer(MessageButtons buttons) const {
  switch (buttons) {
    case MessageButtons::kOk:
      return Answer::kOk;
    case MessageButtons::kOkCancel:
      return assumeYes_ ? Answer::kOk : Answer::kCancel;
    case MessageButtons::kYesNo:
      return assumeYes_ ? Answer::kYes : Answer::kNo;
    case MessageButtons::kYesNoCancel:
      return assumeYes_ ? Answer::kYes : Answer::kCancel;
    // Retrying only helps when someone fixes the cause in between; an unattended run would
    // retry forever, so these give up whatever the policy says.
    case MessageButtons::kRetryCancel:
      return Answer::kCancel;
    case MessageButtons::kAbortRetryIgnore:
      return Answer::kAbort;
  }
  return Answer::kCancel;
}

void ConsoleUiHost::PrintLine(const std::string& caption, const std::string& text) {
  // The program's texts break lines with CR (sometimes CR LF), which a terminal would overwrite.
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      shown += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      shown += text[i];
    }
  }
  if (!caption.empty()) out_ << caption << ": ";
  out_ << shown << '\n';
  out_.flush();
}

Answer ConsoleUiHost::MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                 MessageIcon /*icon*/) {
  PrintLine(caption, text);
  return DefaultAnswer(buttons);
}

std::optional<std::string> ConsoleUiHost::FileDialog(const FileDialogRequest& request) {
  // Saying why a command stops short saves the user a guess.
  if (!filePath_) PrintLine(request.title, "no file given");
  return filePath_;
}

std::optional<std::size_t> ConsoleUiHost::ChooseFromList(const std::string& title,
                                                         const std::vector<std::string>& lines) {
  if (listIndex_ && *listIndex_ < lines.size()) return listIndex_;
  // List the choices so that the user can pick an index for the next run.
  for (std::size_t i = 0; i < lines.size(); ++i) PrintLine(title, std::to_string(i) + " " + lines[i]);
  if (lines.empty()) PrintLine(title, "nothing to choose from");
  return std::nullopt;
}

bool ConsoleUiHost::RunDialog(DialogModel& model) { return acceptDialogs_ && model.OnOk(); }

bool ConsoleUiHost::OpenWindow(Window& /*window*/, const Placement& /*placement*/) { return false; }

void ConsoleUiHost::CloseWindow(Window& /*window*/) {}

void ConsoleUiHost::Invalidate(WindowId /*window*/) {}

}  // namespace kx7
