// ISO-2022-JP the CP50221 way: JIS X 0208 (with NEC row 13 and the IBM rows as NEC selected
// them) after ESC $ B, half-width katakana after ESC ( I, ASCII after ESC ( B.

#include "codec.h"
#include "jis_step.h"
#include "tables.h"
#include "text/utf16.h"

namespace morvelle::text::jis {

State Scan(std::span<const unsigned char> bytes, std::size_t from, std::size_t to, State state) {
  const unsigned char* p = bytes.data();
  const std::size_t n = to < bytes.size() ? to : bytes.size();
  for (std::size_t i = from; i < n;) i += detail::JisNext(p, n, i, state).length;
  return state;
}

bool SwitchTo(State& current, State wanted, std::string& out) {
  if (current.g0 != wanted.g0) {
    switch (wanted.g0) {
      case Set::Unread:
        return false;
      case Set::Ascii:
        out += "\x1B(B";
        break;
      case Set::Roman:
        out += "\x1B(J";
        break;
      case Set::Kana:
        out += "\x1B(I";
        break;
      case Set::Jis1978:
        out += "\x1B$@";
        break;
      case Set::Jis0208:
        out += "\x1B$B";
        break;
      case Set::Jis0212:
        out += "\x1B$(D";
        break;
    }
  }
  if (current.shiftOut != wanted.shiftOut) out.push_back(wanted.shiftOut ? '\x0E' : '\x0F');
  current = wanted;
  return true;
}

bool EncodeFrom(State& state, std::u16string_view text, std::string& out, EncodeError* error,
                EncodeOptions options) {
  const std::uint16_t* table = detail::JisEncoder();
  const std::size_t start = out.size();
  const State initial = state;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (options.rawBytes && IsRawByteAt(text, i)) {
      // Kept bytes go out as they are; an escape among them changes the state as it did.
      const std::size_t from = out.size();
      for (; i < text.size() && IsRawByteAt(text, i); ++i) {
        out.push_back(static_cast<char>(RawByteOf(text[i])));
      }
      --i;
      const auto* p = reinterpret_cast<const unsigned char*>(out.data());
      for (std::size_t k = from; k < out.size();)
        k += detail::JisNext(p, out.size(), k, state).length;
      continue;
    }
    std::uint16_t code = table[u];
    // ESC, SO and SI written as text would read back as shifts; surrogates have no JIS code.
    bool shiftByte = u == 0x1B || u == 0x0E || u == 0x0F;
    if (code == detail::kNoJis || shiftByte) {
      out.resize(start);
      state = initial;
      if (error) {
        error->index = i;
        std::size_t units = 1;
        error->codePoint = codePointAt(text, i, units);
        LocateInText(text, *error);
      }
      return false;
    }
    if (code < 0x20 && state.g0 == Set::Unread && !state.shiftOut) {
      // Controls need no designation; leaving a set we do not read would need one back.
      out.push_back(static_cast<char>(code));
    } else if (code < 0x80) {
      (void)SwitchTo(state, State{Set::Ascii, false}, out);
      out.push_back(static_cast<char>(code));
    } else if (code < 0x100) {
      (void)SwitchTo(state, State{Set::Kana, false}, out);
      out.push_back(static_cast<char>(code - 0x80));
    } else {
      (void)SwitchTo(state, State{Set::Jis0208, false}, out);
      out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    }
  }
  return true;
}

}  // namespace morvelle::text::jis
