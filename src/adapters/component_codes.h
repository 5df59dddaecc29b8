#pragma once
// The program's codes and line ends in the components' own terms: the one place that maps them.
// The switches have no default, so that a code added to the program's enums fails to compile
// (-Wswitch) until it is mapped here.

#include "editbuffer/convert.h"
#include "services/file_code.h"
#include "text/codec/codec.h"

namespace morvelle {

inline editbuffer::TargetCode TargetCodeOf(CharacterCode code) {
  switch (code) {
    case CharacterCode::ShiftJis:
      return editbuffer::TargetCode::ShiftJis;
    case CharacterCode::Euc:
      return editbuffer::TargetCode::EucJp;
    case CharacterCode::Jis:
      return editbuffer::TargetCode::Jis;
    case CharacterCode::Ucs2:
      return editbuffer::TargetCode::Utf16LeBom;
    case CharacterCode::Utf8:
      return editbuffer::TargetCode::Utf8;
  }
  return editbuffer::TargetCode::Utf8;
}

inline text::Encoding EncodingOf(FileCode code) {
  switch (code) {
    case FileCode::ShiftJis:
      return text::Encoding::ShiftJis;
    case FileCode::EucJp:
      return text::Encoding::EucJp;
    case FileCode::Iso2022Jp:
      return text::Encoding::Iso2022Jp;
    case FileCode::Utf16Le:
      return text::Encoding::Utf16Le;
    case FileCode::Utf16Be:
      return text::Encoding::Utf16Be;
    case FileCode::Utf8:
      return text::Encoding::Utf8;
  }
  return text::Encoding::Utf8;
}

inline editbuffer::LineEnds LineEndsOf(LineEnds ends) {
  switch (ends) {
    case LineEnds::Keep:
      return editbuffer::LineEnds::Keep;
    case LineEnds::Lf:
      return editbuffer::LineEnds::Lf;
    case LineEnds::CrLf:
      return editbuffer::LineEnds::CrLf;
  }
  return editbuffer::LineEnds::Keep;
}

}  // namespace morvelle
