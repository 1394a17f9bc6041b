#include "command_line_help_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFont>
#include <QFontDatabase>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/command_line_help.h"
#include "qt_ui_host.h"

namespace kx7 {
namespace {

bool ShowCommandLineHelp(DialogModel& model, QWidget* parent) {
  auto& help = static_cast<CommandLineHelpModel&>(model);
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromStdString(help.Title()));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QTextEdit(&dialog);
  text->setReadOnly(true);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  text->setFont(font);
  QTextCursor cursor(text->document());
  QTextCharFormat switchFormat;
  switchFormat.setFontWeight(QFont::Bold);
  switchFormat.setForeground(QColor(0, 128, 0));
  QTextCharFormat plainFormat;
  plainFormat.setForeground(Qt::black);
  for (const HelpLine& line : help.Lines()) {
    cursor.insertText(QString::fromStdString(PaddedSwitch(line)), switchFormat);
    QString description = QString::fromStdString(line.description);
    description.remove(QLatin1Char('\r'));
    cursor.insertText(description, plainFormat);
  }
  text->setMinimumSize(640, 200);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace

void RegisterCommandLineHelpDialog() { QtUiHost::RegisterDialogView("CommandLineHelp", ShowCommandLineHelp); }

}  // namespace kx7
