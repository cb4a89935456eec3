#pragma once
// The window's two font roles: a bold sans face for buttons and texts, and a
// fixed-pitch face for lists, memos and the editor, at pixel sizes so that a
// control looks the same on every screen.

#include <QFont>

namespace quennel {

QFont TextFont(int pixelSize);  // bold sans
QFont FixedFont(int pixelSize); // fixed pitch

} // namespace quennel
