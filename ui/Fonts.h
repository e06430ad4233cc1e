#pragma once

#include <QFont>
#include <QString>

// The window's font family. Linux has no font of that name: it resolves to WenQuanYi Zen Hei,
// which holds every character of the window's texts, so nothing shows as boxes and Latin text
// is drawn in the same face as the Chinese.
QString WindowFontFamily();
QString WindowFontSubstitute();

// Makes the family resolve as above, process-wide; safe to call more than once.
void RegisterWindowFont();

// The window's font at a height in pixels (the layout is in pixels).
QFont WindowFont(int PixelSize);
