#include "toolbar_icons.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace kx7 {

QIcon ToolbarIcon(const QString& label, bool classic) {
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  // Each button gets its own colour from its label, so the bar reads at a glance.
  const uint hash = qHash(label);
  const QColor fill = classic ? QColor(192, 192, 192) : QColor::fromHsv(static_cast<int>(hash % 360), 110, 200);
  painter.setBrush(fill);
  painter.setPen(QPen(fill.darker(160), 1));
  painter.drawRoundedRect(QRectF(1.5, 1.5, 19, 19), classic ? 0 : 4, classic ? 0 : 4);
  QFont font = painter.font();
  font.setPixelSize(label.size() > 4 ? 8 : 10);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(classic ? Qt::black : Qt::white);
  painter.drawText(QRect(0, 0, 22, 22), Qt::AlignCenter, label.left(2));
  return QIcon(pixmap);
}

}  // namespace kx7
