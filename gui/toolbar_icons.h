// Generated toolbar images: 22 x 22 pictures drawn from the button's label.
#pragma once

#include <QIcon>
#include <QString>

namespace kx7 {

QIcon ToolbarIcon(const QString& label, bool classic);

}  // namespace kx7
