#include "console/ClickableText.h"

#include <QMouseEvent>

namespace quennel {

void ClickableText::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        OnClick();
}

} // namespace quennel
