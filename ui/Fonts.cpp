#include "Fonts.h"

#include <QStringList>

QString WindowFontFamily() {
    return QStringLiteral("宋体");
}

QString WindowFontSubstitute() {
    return QStringLiteral("WenQuanYi Zen Hei");
}

void RegisterWindowFont() {
    if (!QFont::substitutes(WindowFontFamily()).contains(WindowFontSubstitute()))
        QFont::insertSubstitution(WindowFontFamily(), WindowFontSubstitute());
}

QFont WindowFont(int PixelSize) {
    RegisterWindowFont();
    QFont font;
    // The substitute also stands in the family list, so the face is found even where
    // substitutions are not consulted.
    font.setFamilies({WindowFontFamily(), WindowFontSubstitute()});
    font.setPixelSize(PixelSize);
    return font;
}
