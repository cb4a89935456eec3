#include "console/ConsoleFonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace quennel {

namespace {

// The first family of the list that the system has, else the system's own
// choice for the role.
QFont FirstAvailable(const QStringList& families, QFont fallback) {
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : families) {
        if (installed.contains(family, Qt::CaseInsensitive))
            return QFont(family);
    }
    return fallback;
}

} // namespace

QFont TextFont(int pixelSize) {
    static const QFont base = FirstAvailable({"Liberation Sans", "DejaVu Sans", "Noto Sans", "FreeSans"},
                                             QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    QFont font = base;
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

QFont FixedFont(int pixelSize) {
    static const QFont base =
        FirstAvailable({"Liberation Mono", "DejaVu Sans Mono", "Noto Sans Mono", "FreeMono"},
                       QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QFont font = base;
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace quennel
