// The UiHost of kx7cli: nobody is there to click, so messages are printed and every question is
// answered by the policy the command line set up front.
#pragma once

#include <cstddef>
#include <iostream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kx7 {

class ConsoleUiHost : public UiHost {
 public:
  explicit ConsoleUiHost(std::ostream& out = std::cerr) : out_(out) {}

  // Questions answer Yes (or OK) instead of No (or Cancel).
  void SetAssumeYes(bool assumeYes) { assumeYes_ = assumeYes; }
  // Dialogs are confirmed as they were filled in by the caller, instead of cancelled.
  void SetAcceptDialogs(bool accept) { acceptDialogs_ = accept; }
  // The answer of every file dialog (nothing: cancelled).
  void SetFileAnswer(std::optional<std::string> path) { filePath_ = std::move(path); }
  // The answer of every list choice (nothing, or an index past the list: cancelled).
  void SetListAnswer(std::optional<std::size_t> index) { listIndex_ = index; }

  // The answer a box with these buttons gets under the current policy.
  Answer DefaultAnswer(MessageButtons buttons) const;

  Answer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                    MessageIcon icon) override;
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
  std::optional<std::size_t> ChooseFromList(const std::string& title, const std::vector<std::string>& lines) override;
  bool RunDialog(DialogModel& model) override;
  // There are no windows on the console.
  bool OpenWindow(Window& window, const Placement& placement) override;
  void CloseWindow(Window& window) override;
  void Invalidate(WindowId window) override;

 private:
  void PrintLine(const std::string& caption, const std::string& text);

  std::ostream& out_;
  bool assumeYes_ = false;
  bool acceptDialogs_ = false;
  std::optional<std::string> filePath_;
  std::optional<std::size_t> listIndex_;
};

}  // namespace kx7
