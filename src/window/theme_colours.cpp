#include "window/theme_colours.h"

#include <algorithm>
#include <cmath>

namespace tamarind {

namespace {

// The program's own colours, which the desktop's lean towards.
constexpr Rgb kMint{196, 255, 225};
constexpr Rgb kBlue{0, 0, 255};
// How far backgrounds lean towards mint (the old page colour on white is
// about a quarter of the way), and texts at most towards blue.
constexpr double kMintShare = 0.25;
constexpr double kMostBlue = 0.6;

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb c) { return 0.2126 * Linear(c.red) + 0.7152 * Linear(c.green) + 0.0722 * Linear(c.blue); }

// |text| leaning towards blue, as far as it stays readable on both
// backgrounds (and never less readable than the desktop made it).
Rgb BluishText(Rgb text, Rgb background, Rgb other) {
  auto readable = [](Rgb colour, Rgb on) { return ContrastRatio(colour, on); };
  const double floor = std::min({kReadableContrast, readable(text, background), readable(text, other)});
  for (double share = kMostBlue; share > 0; share -= 0.05) {
    const Rgb mixed = Mix(text, kBlue, share);
    if (readable(mixed, background) >= floor && readable(mixed, other) >= floor) return mixed;
  }
  return text;
}

}  // namespace

Rgb Mix(Rgb from, Rgb to, double amount) {
  auto channel = [amount](int a, int b) {
    return std::clamp(static_cast<int>(std::lround(a + (b - a) * amount)), 0, 255);
  };
  return {channel(from.red, to.red), channel(from.green, to.green), channel(from.blue, to.blue)};
}

double ContrastRatio(Rgb a, Rgb b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

WindowColours ThemedColours(const DesktopColours& desktop) {
  WindowColours colours;
  // A dark theme keeps its darkness: mint is mixed in by a smaller share,
  // scaled to the background's own lightness.
  const double light = std::sqrt(Luminance(desktop.window));
  colours.mainBackground = Mix(desktop.window, kMint, kMintShare * light * 0.5);
  colours.pageBackground = Mix(desktop.window, kMint, kMintShare * light);
  colours.text = BluishText(desktop.windowText, colours.pageBackground, colours.mainBackground);
  colours.editBackground = desktop.base;
  colours.editText = BluishText(desktop.text, desktop.base, desktop.base);
  return colours;
}

}  // namespace tamarind
