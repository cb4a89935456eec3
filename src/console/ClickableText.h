#pragma once
// A static text that answers a click, as the status line does.

#include <QLabel>
#include <functional>

namespace quennel {

class ClickableText : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace quennel
