// Decode → encode for every code, recognition, and the file buffer's no-change save. Any bytes
// load; an untouched buffer gives them back exactly; decoding and encoding the text gives the
// bytes back (the text, for codes with duplicate codes); a direct conversion agrees with
// decoding and encoding through the text. A NUL put into a flawless text never makes it Binary
// and decodes as U+0000 between the same characters; in ISO-2022-JP, an escape that designates
// a G1 set leaves the code what it is and decodes as kept bytes.
//
// Input: one byte choosing the source code (or recognition, and then where a stray byte goes),
// then the file's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editbuffer/file_buffer.h"
#include "text/codec/codec.h"
#include "text/detect/detect.h"

namespace {

using morvelle::text::Encoding;
namespace text = morvelle::text;

constexpr Encoding kCodes[] = {Encoding::Ascii,     Encoding::ShiftJis, Encoding::EucJp,
                               Encoding::Iso2022Jp, Encoding::Utf8,     Encoding::Utf8Bom,
                               Encoding::Utf16Le,   Encoding::Utf16Be,  Encoding::Utf32Le,
                               Encoding::Utf32Be,   Encoding::Binary};
constexpr Encoding kTargets[] = {Encoding::ShiftJis, Encoding::EucJp, Encoding::Iso2022Jp,
                                 Encoding::Utf16Le, Encoding::Utf8};

[[noreturn]] void Fail(const char* what, Encoding from, Encoding to = Encoding::Binary) {
  std::fprintf(stderr, "fuzz_codec: %s (%s -> %s)\n", what, text::EncodingName(from).data(),
               text::EncodingName(to).data());
  std::abort();
}

void CheckDecode(Encoding code, std::span<const unsigned char> bytes) {
  const text::Decoded d = text::Decode(code, bytes);
  if (d.offsets.size() != d.text.size() + 1) Fail("offsets and text differ in length", code);
  if (d.offsets.back() != bytes.size()) Fail("last offset is not the size", code);
  for (std::size_t i = 1; i < d.offsets.size(); ++i) {
    if (d.offsets[i] < d.offsets[i - 1]) Fail("offsets go backwards", code);
  }
  if (text::DecodeText(code, bytes) != d.text) Fail("DecodeText differs from Decode", code);

  // The text with its kept bytes encodes back: to the same bytes where every character has one
  // code, to bytes that read as the same text where CP932 and eucJP-ms have two. There a
  // character's usual code may start with a byte that joins the kept lead byte before it (F3,
  // then ℡ as AD E4 where the file had 8F F4 AD): the buffer never re-encodes an untouched
  // character and reads back every edit beside kept bytes, so the first difference may only be
  // such a join. ISO-2022-JP keeps the escapes before undecodable bytes in the buffer's copy,
  // not in the text.
  if (code != Encoding::Iso2022Jp) {
    std::string again;
    const bool bom = text::BomLength(code, bytes) > 0;
    if (!text::Encode(code, d.text, again, nullptr, {.rawBytes = true, .bom = bom})) {
      Fail("a decoded text does not encode", code);
    }
    const std::span<const unsigned char> span(reinterpret_cast<const unsigned char*>(again.data()),
                                              again.size());
    const bool duplicates = code == Encoding::ShiftJis || code == Encoding::EucJp;
    if (!duplicates) {
      if (again != std::string(bytes.begin(), bytes.end())) {
        Fail("decoding and encoding changed the bytes", code);
      }
    } else if (const std::u16string back = text::DecodeText(code, span); back != d.text) {
      const std::size_t at =
          std::mismatch(back.begin(), back.end(), d.text.begin(), d.text.end()).second -
          d.text.begin();
      // Kept bytes read their neighbour's new first byte as a trail (F3 AD), or take it into a
      // sequence that is no character (8F AD B6) or another one (8F FE AD): the first
      // difference is in a run of kept bytes that a character follows, or at that character.
      std::size_t runEnd = at;
      while (runEnd < d.text.size() && text::IsRawByteAt(d.text, runEnd)) ++runEnd;
      const bool join =
          (runEnd > at && runEnd < d.text.size()) ||
          (at > 0 && at < d.text.size() && runEnd == at && text::IsRawByteAt(d.text, at - 1));
      if (!join) Fail("decoding and encoding changed the text", code);
    }
  }

  for (Encoding to : kTargets) {
    std::string direct;
    std::size_t failedAt = 0;
    const bool whole = text::Transcode(code, to, bytes, direct, &failedAt);
    // The same a block at a time, blocks of 1, 2, 3, 5, 8 ... bytes: the same bytes out, or the
    // same failure at the same offset.
    {
      text::StreamTranscoder stream(code, to);
      std::string streamed;
      std::size_t streamFailedAt = 0;
      bool ok = true;
      for (std::size_t at = 0, step = 1, before = 1; ok;) {
        const std::size_t take = std::min(step, bytes.size() - at);
        const bool last = at + take == bytes.size();
        ok = stream.Feed(bytes.subspan(at, take), last, streamed, &streamFailedAt);
        at += take;
        if (last) break;
        const std::size_t next = step + before;
        before = step;
        step = next > 64 ? 1 : next;
      }
      if (ok != whole) Fail("a conversion in blocks succeeds where the whole one fails", code, to);
      if (ok && streamed != direct) Fail("a conversion in blocks writes other bytes", code, to);
      if (!ok && streamFailedAt != failedAt)
        Fail("a conversion in blocks fails elsewhere", code, to);
    }
    if (!whole) {
      if (!direct.empty()) Fail("a failed conversion left output", code, to);
      if (failedAt > bytes.size()) Fail("failure offset beyond the input", code, to);
      continue;
    }
    std::string viaText;
    if (!text::Encode(to, d.text, viaText, nullptr, {.rawBytes = false, .bom = true})) {
      Fail("conversion succeeded where encoding the text fails", code, to);
    }
    if (direct != viaText) Fail("conversion differs from decode + encode", code, to);
  }
}

void CheckUntouchedSave(const std::string& bytes, std::optional<Encoding> code) {
  morvelle::editbuffer::FileBuffer buffer;
  buffer.loadBytes(bytes, "fuzz", code);
  if (!buffer.unchanged()) Fail("a fresh buffer reports a change", buffer.encoding());
  if (buffer.bytes("fuzz") != bytes) Fail("no-change save changed the bytes", buffer.encoding());
  // Setting the same text again is no change either.
  buffer.setText(std::u16string(buffer.text()));
  if (buffer.bytes("fuzz") != bytes) Fail("same-text save changed the bytes", buffer.encoding());
}

void CheckStrayBytes(std::span<const unsigned char> bytes, Encoding detected, unsigned slot) {
  constexpr unsigned kSlots = 26;  // slot is 0..25
  const bool byteCode = detected == Encoding::Ascii || detected == Encoding::ShiftJis ||
                        detected == Encoding::EucJp || detected == Encoding::Utf8 ||
                        detected == Encoding::Iso2022Jp;
  // One sample holds the whole file (a longer one is recognised from its head). Controls other
  // than blanks, line ends and shifts mark data, where a NUL may well tip the balance.
  auto dataControl = [](unsigned char b) {
    return (b >= 0x01 && b <= 0x08) || (b >= 0x10 && b <= 0x19) || (b >= 0x1C && b <= 0x1F) ||
           b == 0x7F;
  };
  // NULs already there may be the most a text holds (a tenth of it, say): one more tips it.
  if (!byteCode || bytes.size() > 200 * 1024 || !text::IsStrictlyValid(detected, bytes) ||
      std::any_of(bytes.begin(), bytes.end(), dataControl) ||
      std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) {
    return;
  }
  const text::Decoded d = text::Decode(detected, bytes);
  // C1 controls count against a reading as bytes that fit no code do.
  if (std::any_of(d.text.begin(), d.text.end(),
                  [](char16_t u) { return u >= 0x80 && u <= 0x9F; })) {
    return;
  }
  std::size_t k = slot * (d.text.size() + 1) / kSlots;
  while (k > 0 && d.offsets[k - 1] == d.offsets[k]) --k;  // not between a surrogate pair
  const std::size_t at = d.offsets[k];
  const bool escape = detected == Encoding::Iso2022Jp && slot % 2 == 1;
  const std::string stray = escape ? std::string("\x1B$)Z") : std::string(1, '\0');

  std::string changed(reinterpret_cast<const char*>(bytes.data()), at);
  changed += stray;
  changed.append(reinterpret_cast<const char*>(bytes.data()) + at, bytes.size() - at);
  const std::span<const unsigned char> span(reinterpret_cast<const unsigned char*>(changed.data()),
                                            changed.size());
  const Encoding again = text::DetectEncoding(span);
  if (again == Encoding::Binary) Fail("a stray byte made a text binary", detected);
  if (escape && again != Encoding::Iso2022Jp) Fail("an unknown escape changed the code", detected);
  // A NUL may tip a close call between two codes, or fall where UTF-16's would.
  if (again != detected) return;
  std::u16string expected = d.text.substr(0, k);
  for (char b : stray) {
    expected += escape ? text::RawByteUnit(static_cast<unsigned char>(b)) : char16_t{0};
  }
  expected += d.text.substr(k);
  if (text::DecodeText(again, span) != expected) Fail("a stray byte changed the text", detected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::span<const unsigned char> span(data + 1, size - 1);
  const std::size_t choice = data[0] % (std::size(kCodes) + 1);

  const Encoding detected = text::DetectEncoding(span);
  if (choice == std::size(kCodes)) {
    CheckDecode(detected, span);
    CheckUntouchedSave(bytes, std::nullopt);
    CheckStrayBytes(span, detected, data[0] / (std::size(kCodes) + 1));
  } else {
    CheckDecode(kCodes[choice], span);
    CheckUntouchedSave(bytes, kCodes[choice]);
  }
  return 0;
}
