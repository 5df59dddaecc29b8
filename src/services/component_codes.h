#pragma once
// The user's names of codes and line ends in the components' own terms.

#include "editbuffer/convert.h"
#include "services/file_code.h"
#include "text/codec/codec.h"

namespace morvelle {

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
