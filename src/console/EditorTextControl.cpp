#include "console/EditorTextControl.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

namespace quennel {

void EditorTextControl::keyPressEvent(QKeyEvent* event) {
    if (OnKeyDown)
        OnKeyDown(*event);
    QPlainTextEdit::keyPressEvent(event);
    if (OnKeyPress)
        OnKeyPress(*event);
    // The stroke was the editor's; the window behind has nothing to do with it.
    event->accept();
}

void EditorTextControl::keyReleaseEvent(QKeyEvent* event) {
    QPlainTextEdit::keyReleaseEvent(event);
    event->accept();
    if (OnKeyUp)
        OnKeyUp();
}

void EditorTextControl::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    if (OnMouseDown)
        OnMouseDown();
}

// A double click arrives as a press, then this in place of the second press.
void EditorTextControl::mouseDoubleClickEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (OnMouseDown)
        OnMouseDown();
}

void EditorTextControl::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (MovesToAnotherControl(*event) && OnExit)
        OnExit();
}

void EditorTextControl::FitColumns(int columns) {
    Columns = columns;
    FitPitch();
}

void EditorTextControl::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    FitPitch();
}

// A new size of the font (the button-size switch) needs its own pitch.
void EditorTextControl::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitPitch();
}

void EditorTextControl::FitPitch() {
    if (Columns <= 0 || Fitting)
        return;
    Fitting = true;
    QFont fitted = font();
    fitted.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    const qreal advance = QFontMetricsF(fitted).horizontalAdvance(QLatin1Char('0'));
    const qreal room = viewport()->width() - 2 * document()->documentMargin() - cursorWidth();
    const qreal spacing = std::min<qreal>(0, room / Columns - advance);
    if (std::abs(spacing - font().letterSpacing()) > 1.0 / 64 ||
        font().letterSpacingType() != QFont::AbsoluteSpacing) {
        fitted.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
        setFont(fitted);
    }
    Fitting = false;
}

bool MovesToAnotherControl(const QFocusEvent& event) {
    return event.reason() != Qt::ActiveWindowFocusReason && event.reason() != Qt::PopupFocusReason;
}

} // namespace quennel
