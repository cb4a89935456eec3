// The button-size switch: every control, at every depth and hidden or not,
// is moved and sized by 486/408 or back, and so is its font.

#include "console/MainForm.h"
#include "console/logic/ScaleArithmetic.h"

namespace quennel {

void TMainForm::ScaleClick() {
    if (ScaleTag != 0) {
        ScaleControls(LargeButtonsDenominator, LargeButtonsNumerator);
        ScaleTag = 0;
        Scale->setText("Large Buttons");
    } else {
        ScaleControls(LargeButtonsNumerator, LargeButtonsDenominator);
        ScaleTag = 1;
        Scale->setText("Small Buttons");
    }
}

// The window keeps its own place and size, and is hidden while its
// controls change so that the operator never sees them half moved.
void TMainForm::ScaleControls(int32_t m, int32_t d) {
    const bool wasVisible = isVisible();
    if (wasVisible)
        hide();
    for (QWidget* control : AllControls()) {
        const QRect g = control->geometry();
        const ControlBounds b = ScaleBounds({g.x(), g.y(), g.width(), g.height()}, m, d);
        control->setGeometry(b.Left, b.Top, b.Width, b.Height);
        QFont font = control->font();
        font.setPixelSize(ScaleValue(font.pixelSize(), m, d));
        control->setFont(font);
    }
    DeviceRowHeight = ScaleValue(DeviceRowHeight, m, d);
    for (int row = 0; row < Device_Box->count(); ++row)
        Device_Box->item(row)->setSizeHint(QSize(0, DeviceRowHeight));
    FitStaticText(StaticText3);
    FitStaticText(StaticText4);
    if (wasVisible)
        show();
}

} // namespace quennel
