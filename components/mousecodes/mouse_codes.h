#pragma once
// The codes a classic MouseDown or MouseMove event carries: button 1 left, 2 right, 4 middle
// (or'ed together for the buttons held during a move); shift 1 Shift, 2 Ctrl, 4 Alt. Every view
// that reports mouse events maps Qt's with these two, so the handlers see one numbering.

#include <Qt>

namespace morvelle::mousecodes {

inline int ButtonCode(Qt::MouseButtons buttons) {
  int code = 0;
  if (buttons & Qt::LeftButton) code |= 1;
  if (buttons & Qt::RightButton) code |= 2;
  if (buttons & Qt::MiddleButton) code |= 4;
  return code;
}

inline int ShiftCode(Qt::KeyboardModifiers modifiers) {
  int code = 0;
  if (modifiers & Qt::ShiftModifier) code |= 1;
  if (modifiers & Qt::ControlModifier) code |= 2;
  if (modifiers & Qt::AltModifier) code |= 4;
  return code;
}

}  // namespace morvelle::mousecodes
