#include "qt_ui_host.h"

#include <QClipboard>
#include <QGuiApplication>

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <QtGlobal>
#include <map>

#include "platform/file_filter.h"

namespace kx7 {
namespace {

std::map<std::string, QtUiHost::DialogView>& DialogViews() {
  static std::map<std::string, QtUiHost::DialogView> views;
  return views;
}

// The program breaks lines in its texts with CR, which a Qt label does not.
QString ShownText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QMessageBox::StandardButtons ToQtButtons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kOk:
      return QMessageBox::Ok;
    case MessageButtons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::kRetryCancel:
      return QMessageBox::Retry | QMessageBox::Cancel;
    case MessageButtons::kAbortRetryIgnore:
      return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
  }
  return QMessageBox::Ok;
}

// The first button is the default one, as the callers expect from the desktop's message boxes.
QMessageBox::StandardButton FirstButton(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kOk:
    case MessageButtons::kOkCancel:
      return QMessageBox::Ok;
    case MessageButtons::kYesNo:
    case MessageButtons::kYesNoCancel:
      return QMessageBox::Yes;
    case MessageButtons::kRetryCancel:
      return QMessageBox::Retry;
    case MessageButtons::kAbortRetryIgnore:
      return QMessageBox::Abort;
  }
  return QMessageBox::Ok;
}

// What closing the box without a button means.
Answer EscapeAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kOk:
      return Answer::kOk;
    case MessageButtons::kYesNo:
      return Answer::kNo;
    case MessageButtons::kAbortRetryIgnore:
      return Answer::kAbort;
    case MessageButtons::kOkCancel:
    case MessageButtons::kYesNoCancel:
    case MessageButtons::kRetryCancel:
      return Answer::kCancel;
  }
  return Answer::kCancel;
}

std::optional<Answer> ToAnswer(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok:
      return Answer::kOk;
    case QMessageBox::Cancel:
      return Answer::kCancel;
    case QMessageBox::Abort:
      return Answer::kAbort;
    case QMessageBox::Retry:
      return Answer::kRetry;
    case QMessageBox::Ignore:
      return Answer::kIgnore;
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    default:
      return std::nullopt;
  }
}

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kNone:
      return QMessageBox::NoIcon;
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtUiHost::RegisterDialogView(const std::string& kind, DialogView view) { DialogViews()[kind] = std::move(view); }

bool QtUiHost::HasDialogView(const std::string& kind) { return DialogViews().count(kind) != 0; }

Answer QtUiHost::MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                            MessageIcon icon) {
  QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), ShownText(text), ToQtButtons(buttons), parent_);
  box.setDefaultButton(FirstButton(buttons));
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  if (clicked == nullptr) return EscapeAnswer(buttons);
  return ToAnswer(box.standardButton(clicked)).value_or(EscapeAnswer(buttons));
}

std::optional<std::string> QtUiHost::FileDialog(const FileDialogRequest& request) {
  const QString folder =
      request.initialFolder.empty() ? QDir::currentPath() : QString::fromStdString(request.initialFolder);
  QFileDialog dialog(parent_, QString::fromStdString(request.title), folder);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList names;
  for (const std::string& name : NameFilters(ParseFileFilter(request.filter))) names << QString::fromStdString(name);
  if (!names.isEmpty()) dialog.setNameFilters(names);
  QString suffix = QString::fromStdString(request.defaultExtension);
  if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  std::string path = chosen.first().toStdString();
  // A native dialog may ignore the default suffix; the program's callers count on it.
  if (request.save) path = WithDefaultExtension(path, request.defaultExtension);
  return path;
}

std::optional<std::size_t> QtUiHost::ChooseFromList(const std::string& title, const std::vector<std::string>& lines) {
  QDialog dialog(parent_);
  dialog.setWindowTitle(QString::fromStdString(title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("choices"));
  for (const std::string& line : lines) list->addItem(QString::fromStdString(line));
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, [&dialog, list](QListWidgetItem* item) {
    list->setCurrentItem(item);
    dialog.accept();
  });
  QObject::connect(list, &QListWidget::currentRowChanged, ok, [ok](int row) { ok->setEnabled(row >= 0); });
  ok->setEnabled(false);
  if (!lines.empty()) list->setCurrentRow(0);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const int row = list->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= lines.size()) return std::nullopt;
  return static_cast<std::size_t>(row);
}

bool QtUiHost::RunDialog(DialogModel& model) {
  const auto view = DialogViews().find(model.Kind());
  if (view == DialogViews().end() || !view->second) {
    qWarning("No dialog view is registered for \"%s\"", model.Kind());
    return false;
  }
  return view->second(model, parent_);
}

bool QtUiHost::OpenWindow(Window& window, const Placement& placement) {
  return opener_ ? opener_(window, placement) : false;
}

void QtUiHost::CloseWindow(Window& window) {
  if (closer_) closer_(window);
}

void QtUiHost::SetClipboardText(const std::string& text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
}

std::string QtUiHost::ClipboardText() const {
  QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard ? clipboard->text().toLatin1().toStdString() : std::string();
}

bool QtUiHost::CopyWindowImage(WindowId window) {
  UiHost::CopyWindowImage(window);
  QWidget* view = viewFinder_ ? viewFinder_(window) : nullptr;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (view == nullptr || clipboard == nullptr) return false;
  clipboard->clear();
  clipboard->setImage(view->grab().toImage());
  return true;
}

void QtUiHost::Invalidate(WindowId window) {
  if (invalidator_) invalidator_(window);
}

}  // namespace kx7
