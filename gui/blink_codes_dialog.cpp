#include "blink_codes_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "qt_ui_host.h"

namespace kx7 {

BlinkCodesDialog::BlinkCodesDialog(const BlinkCodesModel& model, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromStdString(model.Title()));
  auto* layout = new QVBoxLayout(this);
  text_ = new QTextEdit(this);
  text_->setReadOnly(true);
  text_->setLineWrapMode(QTextEdit::NoWrap);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  if (!QFontInfo(font).fixedPitch()) {
    const int size = font.pointSize();
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Courier New"), font.family()});
    font.setPointSize(size);
  }
  text_->setFont(font);
  QTextCursor cursor(text_->document());
  QTextCharFormat numberFormat;
  numberFormat.setFontWeight(QFont::Bold);
  const Color green = BlinkCodesModel::kNumberColour;
  numberFormat.setForeground(QColor(green.red, green.green, green.blue));
  QTextCharFormat textFormat;
  textFormat.setForeground(Qt::black);
  const auto& lines = BlinkCodesModel::Lines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    cursor.insertText(QString::fromStdString(lines[i].number), numberFormat);
    QString text = QString::fromStdString(lines[i].text);
    // The document breaks its own lines; CR LF becomes one paragraph break, none after the last.
    text.remove(QLatin1Char('\r'));
    if (i + 1 == lines.size()) text.chop(1);
    cursor.insertText(text, textFormat);
  }
  const QFontMetrics metrics(font);
  text_->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('M')) * 30,
                        metrics.lineSpacing() * (static_cast<int>(lines.size()) + 2));
  layout->addWidget(text_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void RegisterBlinkCodesDialog() {
  QtUiHost::RegisterDialogView("BlinkCodes", [](DialogModel& model, QWidget* parent) {
    BlinkCodesDialog dialog(static_cast<BlinkCodesModel&>(model), parent);
    return dialog.exec() == QDialog::Accepted;
  });
}

}  // namespace kx7
