// The UiHost of kx7sdu: real message boxes, file dialogs, a list chooser and the dialog views
// registered for the core's dialog models. Windows are placed by the main window, which hands
// in how to open, close and repaint them.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kx7 {

class QtUiHost : public UiHost {
 public:
  using WindowOpener = std::function<bool(Window&, const Placement&)>;
  using WindowCloser = std::function<void(Window&)>;
  using Invalidator = std::function<void(WindowId)>;
  // Shows the view of a dialog model modally over `parent`; true for OK.
  using DialogView = std::function<bool(DialogModel&, QWidget* parent)>;

  // The view for every model whose Kind() is `kind`; a later registration replaces an earlier one.
  static void RegisterDialogView(const std::string& kind, DialogView view);
  static bool HasDialogView(const std::string& kind);

  // Dialogs and message boxes are shown over this widget (none: top level).
  void SetParentWidget(QWidget* parent) { parent_ = parent; }
  QWidget* ParentWidget() const { return parent_; }
  void SetWindowOpener(WindowOpener opener) { opener_ = std::move(opener); }
  void SetWindowCloser(WindowCloser closer) { closer_ = std::move(closer); }
  void SetInvalidator(Invalidator invalidator) { invalidator_ = std::move(invalidator); }
  // The widget that shows a window, for pictures of it.
  void SetViewFinder(std::function<QWidget*(WindowId)> finder) { viewFinder_ = std::move(finder); }

  Answer MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                    MessageIcon icon) override;
  // Opens in request.initialFolder (the current folder when empty). Recording the folder of the
  // chosen file is the caller's business: it owns `LastFolder`.
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
  std::optional<std::size_t> ChooseFromList(const std::string& title, const std::vector<std::string>& lines) override;
  // False, with a warning, when no view is registered for the model's kind.
  bool RunDialog(DialogModel& model) override;
  // False when the main window gave no opener.
  bool OpenWindow(Window& window, const Placement& placement) override;
  void CloseWindow(Window& window) override;
  void Invalidate(WindowId window) override;
  void SetClipboardText(const std::string& text) override;
  std::string ClipboardText() const override;
  bool CopyWindowImage(WindowId window) override;

 private:
  QPointer<QWidget> parent_;
  WindowOpener opener_;
  WindowCloser closer_;
  Invalidator invalidator_;
  std::function<QWidget*(WindowId)> viewFinder_;
};

}  // namespace kx7
