// The window's colours, made from the desktop's: the page backgrounds take
// a touch of the program's mint green and the texts a touch of its blue,
// as far as each stays easy to read on its background, so a light and a
// dark desktop theme both give a readable window.
#pragma once

namespace tamarind {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool operator==(const Rgb&) const = default;
};

// The colours of the desktop theme the window starts from.
struct DesktopColours {
  Rgb window;      // background of windows
  Rgb windowText;  // text on it
  Rgb base;        // background of edit boxes and lists
  Rgb text;        // text on that
};

struct WindowColours {
  Rgb mainBackground;  // the window around the tabs
  Rgb pageBackground;  // the tabs' pages
  Rgb text;            // labels, buttons, check boxes
  Rgb editBackground;
  Rgb editText;
};

WindowColours ThemedColours(const DesktopColours& desktop);

// |from| moved the share |amount| (0 to 1) of the way to |to|.
Rgb Mix(Rgb from, Rgb to, double amount);
// The WCAG contrast ratio of two colours, 1 to 21.
double ContrastRatio(Rgb a, Rgb b);

// Text that reads well stays at least this far from its background (the
// WCAG level for body text).
inline constexpr double kReadableContrast = 4.5;

}  // namespace tamarind
