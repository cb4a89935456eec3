#pragma once
// The buffer editor's page: a read-only text control that hands its key,
// mouse and focus events on in the order the editor relies on. For one key
// stroke the key-down step runs before the control's own handling of the
// key, the character step after it, and the release step last (a release
// that arrives while the editor pumps messages in its key-down step waits
// its turn: see CommandGuard). A mouse press is handed on after the control
// has placed its caret.
//
// The page's lines are of a fixed width in a fixed-pitch font; the control
// narrows the font's pitch a little when a whole line would not fit its width
// otherwise (a font's advance is seldom a whole number of pixels).

#include <QPlainTextEdit>
#include <functional>

class QKeyEvent;

namespace quennel {

class EditorTextControl : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

    // Keeps lines of this many characters, and the caret after them, in view.
    void FitColumns(int columns);

    std::function<void(const QKeyEvent&)> OnKeyDown;  // before the control moves its caret
    std::function<void(const QKeyEvent&)> OnKeyPress; // the stroke's character, if it has one
    std::function<void()> OnKeyUp;
    std::function<void()> OnMouseDown; // the caret already stands where the click put it
    // The focus went to another control of the window; not when the whole
    // window is deactivated or a context menu opens.
    std::function<void()> OnExit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FitPitch();

    int Columns = 0;
    bool Fitting = false;
};

// Whether a focus change takes the focus to another control of the same
// window, rather than away from the window or into a popup.
bool MovesToAnotherControl(const QFocusEvent& event);

} // namespace quennel
