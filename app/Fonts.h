#pragma once

#include <QFont>

namespace kestrane {

// Makes the window's fonts available: the Tahoma-compatible font shipped with Wine's fonts (not
// in fontconfig's folders), and the nearest installed sans fonts for Tahoma and Segoe UI when
// those are missing. Call once after the application object exists.
void RegisterWindowFonts();

// The window's fonts, by pixel height (8, 10, 12, 14 and 18 pt at 96 dots per inch are 11, 13,
// 16, 19 and 24 pixels).
enum class FontWeight { Regular, Bold };
QFont TahomaFont(int pixelSize, FontWeight weight = FontWeight::Regular, bool underline = false);
QFont SegoeUiFont(int pixelSize);

} // namespace kestrane
