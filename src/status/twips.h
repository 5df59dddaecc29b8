#pragma once
// Geometry of both windows is written in twips, as the layout gives it; 15 twips make one
// pixel at 96 dpi.

#include <QRect>

namespace morvelle {

constexpr int Twips(int twips) { return (twips * 2 + 15) / 30; }  // nearest pixel

constexpr QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

}  // namespace morvelle
