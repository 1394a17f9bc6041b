// The small pieces every dialog of the parameter blocks is built of: texts of the controller's
// bytes, value boxes sized for their digits, and buttons that Enter does not press.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <string>

namespace kx7 {

// A text of the program's, byte for byte (names and values are the controller's).
inline QString Latin1(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<int>(text.size())); }

// A box wide enough for `characters` characters, the frame and the cursor.
inline QLineEdit* NewBox(QWidget* parent, int characters, bool readOnly = false) {
  auto* box = new QLineEdit(parent);
  box->setFixedWidth(box->fontMetrics().horizontalAdvance(QString(characters + 1, QLatin1Char('W'))) + 12);
  box->setReadOnly(readOnly);
  return box;
}

// Enter belongs to the dialog's own handling, not to the last button.
inline QPushButton* NewButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setAutoDefault(false);
  return button;
}

}  // namespace kx7
