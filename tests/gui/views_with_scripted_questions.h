// A UiHost for the GUI tests: real views for the windows, scripted answers for message boxes,
// file choices, lists and modal dialogs, which would otherwise wait for a user.
#pragma once

#include "platform/scripted_ui_host.h"
#include "platform/ui_host.h"
#include "qt_ui_host.h"

namespace kx7 {

class ViewsWithScriptedQuestions : public UiHost {
 public:
  ViewsWithScriptedQuestions(QtUiHost& views, ScriptedUiHost& questions) : views_(views), questions_(questions) {}
  Answer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                    MessageIcon icon) override {
    return questions_.MessageBox(text, caption, buttons, icon);
  }
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override {
    return questions_.FileDialog(request);
  }
  std::optional<std::size_t> ChooseFromList(const std::string& title, const std::vector<std::string>& lines) override {
    return questions_.ChooseFromList(title, lines);
  }
  bool RunDialog(DialogModel& model) override { return questions_.RunDialog(model); }
  bool OpenWindow(Window& window, const Placement& placement) override { return views_.OpenWindow(window, placement); }
  void CloseWindow(Window& window) override { views_.CloseWindow(window); }
  void Invalidate(WindowId window) override { views_.Invalidate(window); }
  // The system clipboard, as in the program.
  void SetClipboardText(const std::string& text) override { views_.SetClipboardText(text); }
  std::string ClipboardText() const override { return views_.ClipboardText(); }

 private:
  QtUiHost& views_;
  ScriptedUiHost& questions_;
};

}  // namespace kx7
