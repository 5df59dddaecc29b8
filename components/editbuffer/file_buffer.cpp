#include "file_buffer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "buffer_impl.h"
#include "io.h"
#include "text/codec/wide.h"
#include "text/utf16.h"
#include "translation/translate.h"
#include "unreadable.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvelle::editbuffer {
namespace {

std::span<const unsigned char> AsBytes(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// A vector of edits as a reader.
class VectorReader : public EditReader {
 public:
  explicit VectorReader(const std::vector<Edit>& edits) : edits_(edits) {}
  void restart() override { at_ = 0; }
  bool next(EditView& edit) override {
    if (at_ == edits_.size()) return false;
    const Edit& e = edits_[at_++];
    edit = {e.start, e.length, e.replacement};
    return true;
  }

 private:
  const std::vector<Edit>& edits_;
  std::size_t at_ = 0;
};

// Collects the whole output.
class StringSink : public ByteSink {
 public:
  std::string bytes;
  void write(std::span<const char> piece) override { bytes.append(piece.data(), piece.size()); }
};

class NullSink : public ByteSink {
 public:
  void write(std::span<const char>) override {}
};

}  // namespace

FileBuffer::FileBuffer() : impl_(std::make_unique<Impl>()) {}
FileBuffer::~FileBuffer() = default;
// The moved-from buffer is left empty, as a new one.
FileBuffer::FileBuffer(FileBuffer&& other) noexcept
    : impl_(std::exchange(other.impl_, std::make_unique<Impl>())) {}
FileBuffer& FileBuffer::operator=(FileBuffer&& other) noexcept {
  std::swap(impl_, other.impl_);
  return *this;
}

void FileBuffer::load(const std::string& path, const LoadOptions& options) {
  detail::OpenedFile file = detail::ReadWholeFileKeepingIt(path, options.rereadFrom);
  auto fresh = std::make_unique<Impl>();
  fresh->name = path;
  fresh->mode = file.status.st_mode & 07777;
  fresh->dense = file.bytes.size() < options.denseBelow;
  if (options.encoding) {
    fresh->encoding = *options.encoding;
    fresh->bom = text::BomLength(*options.encoding, AsBytes(file.bytes));
    fresh->recognised = true;
  }
  fresh->original.Keep(std::move(file), options.rereadFrom, options.readChunk);
  impl_ = std::move(fresh);
}

void FileBuffer::loadBytes(std::string bytes, const std::string& name,
                           std::optional<text::Encoding> encoding, const LoadOptions& options) {
  auto fresh = std::make_unique<Impl>();
  fresh->name = name;
  fresh->dense = bytes.size() < options.denseBelow;
  if (encoding) {
    fresh->encoding = *encoding;
    fresh->bom = text::BomLength(*encoding, AsBytes(bytes));
    fresh->recognised = true;
  }
  fresh->original.Hold(std::move(bytes));
  impl_ = std::move(fresh);
}

text::Encoding FileBuffer::encoding() const {
  impl_->Recognise();
  return impl_->encoding;
}

std::size_t FileBuffer::size() const { return impl_->original.size(); }

std::optional<mode_t> FileBuffer::mode() const { return impl_->mode; }

Unreadable FindUnreadable(std::u16string_view text) {
  Unreadable found;
  const std::size_t first = text::FindRawByte(text);
  if (first == std::u16string_view::npos) return found;
  found.first = DescribeRawByte(text, first);
  for (std::size_t i = first; i != std::u16string_view::npos; i = text::FindRawByte(text, i + 1)) {
    ++found.count;
  }
  return found;
}

Unreadable FileBuffer::unreadable() const {
  Impl& d = *impl_;
  // Decoding recognises the code too, the likeliest code's decoding standing in for its check.
  d.Decode();
  if (d.encoding == text::Encoding::Binary) return {d.original.size(), {}};
  return d.unreadable;
}

namespace {

#if defined(MORVELLE_WIDE_BLOCKS)
// FindBytes by 512-bit vectors, sixty-four places at a time from h[i] while the last byte tried
// is inside the n; advances i past the places tried.
MORVELLE_WIDE const char* FindBytesWide(const char* h, std::size_t n, std::string_view needle,
                                        std::size_t& i) {
  const std::size_t k = needle.size();
  const __m512i first = _mm512_set1_epi8(needle.front());
  const __m512i last = _mm512_set1_epi8(needle.back());
  for (; n >= k + 63 && i <= n - k - 63; i += 64) {
    const __m512i a = _mm512_loadu_si512(h + i);
    const __m512i b = _mm512_loadu_si512(h + i + k - 1);
    for (std::uint64_t mask = _mm512_cmpeq_epi8_mask(a, first) & _mm512_cmpeq_epi8_mask(b, last);
         mask != 0; mask &= mask - 1) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
      if (std::memcmp(h + at + 1, needle.data() + 1, k - 2) == 0) return h + at;
    }
  }
  return nullptr;
}
#endif

// Where `needle` first occurs in `bytes`, or nullptr. Sixteen places at a time are tried by
// their first and last byte, which for the few bytes of a rule's text rules out nearly all of
// them (three times glibc's memmem on Japanese text).
const char* FindBytes(std::string_view bytes, std::string_view needle) {
  const char* h = bytes.data();
  const std::size_t n = bytes.size();
  const std::size_t k = needle.size();
  std::size_t i = 0;
#if defined(MORVELLE_WIDE_BLOCKS)
  if (k >= 2 && text::detail::HasWideBlocks()) {
    if (const char* hit = FindBytesWide(h, n, needle, i)) return hit;
  }
#endif
#if defined(__SSE2__)
  if (k >= 2) {
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i last = _mm_set1_epi8(needle.back());
    for (; n >= k + 15 && i <= n - k - 15; i += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + k - 1));
      for (auto mask = static_cast<unsigned>(
               _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
           mask != 0; mask &= mask - 1) {
        const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
        if (std::memcmp(h + at + 1, needle.data() + 1, k - 2) == 0) return h + at;
      }
    }
  }
#endif
  return static_cast<const char*>(memmem(h + i, n - i, needle.data(), k));
}

// Whether a file in `code` may hold one of `texts`, from its bytes: true where one's bytes occur
// (maybe inside a character: that only costs a decoding) or cannot be told apart from another's.
bool MayOccur(text::Encoding code, const std::vector<std::u16string>& texts,
              std::span<const unsigned char> bytes) {
  std::string spelled;
  return std::any_of(texts.begin(), texts.end(), [&](const std::u16string& t) {
    switch (text::SpellIn(code, t, spelled)) {
      case text::Spelling::Absent:
        return false;
      case text::Spelling::Ambiguous:
        return true;
      case text::Spelling::Unique:
        break;
    }
    return FindBytes({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, spelled) !=
           nullptr;
  });
}

}  // namespace

bool FileBuffer::mayHold(const std::vector<std::u16string>& texts) const {
  Impl& d = *impl_;
  if (d.decoded) {
    const std::u16string_view text = d.text.view();
    return !d.index.clean() || std::any_of(texts.begin(), texts.end(), [&](const auto& t) {
      return text.find(t) != std::u16string_view::npos;
    });
  }
  const std::span<const unsigned char> bytes = d.original.bytes();
  // The text is decoded when the bytes say it may be needed.
  const std::optional<bool> clean =
      d.RecogniseStrictly([&](text::Encoding code) { return !MayOccur(code, texts, bytes); });
  return !clean.value_or(false);
}

namespace {

// Codes whose characters a search of their bytes finds: where a character begins is told by
// the bytes just before it.
bool FoundByBytes(text::Encoding code) {
  return code == text::Encoding::ShiftJis || code == text::Encoding::EucJp ||
         code == text::Encoding::Utf8 || code == text::Encoding::Utf8Bom ||
         code == text::Encoding::Ascii;
}

// A byte after which a character begins, whatever came before it: no CP932 lead or trail byte
// is below 0x40, and every EUC-JP one is above 0x7F.
bool EndsCharacter(text::Encoding code, unsigned char b) {
  return code == text::Encoding::ShiftJis ? b < 0x40 : b < 0x80;
}

// The length of the character beginning with `b` in a file that reads without an unreadable byte.
std::size_t CharacterLength(text::Encoding code, unsigned char b) {
  if (code == text::Encoding::ShiftJis)
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) ? 2 : 1;
  // EUC-JP: the bytes of C1 controls other than the two single shifts are characters too.
  return b == 0x8F ? 3 : b == 0x8E || (b >= 0xA1 && b <= 0xFE) ? 2 : 1;
}

// Where `pattern` occurs from `start` on in bytes that read in `code` without an unreadable
// byte, counting only occurrences at a character's start: leftmost first, never overlapping,
// only the first unless `global`. A UTF-8 character's bytes are never another's.
std::vector<std::size_t> Occurrences(text::Encoding code, std::string_view bytes, std::size_t start,
                                     std::string_view pattern, bool global) {
  const bool legacy = code == text::Encoding::ShiftJis || code == text::Encoding::EucJp;
  std::vector<std::size_t> found;
  std::size_t known = start;  // a character begins here
  for (std::size_t from = start; from < bytes.size();) {
    const char* hit = FindBytes(bytes.substr(from), pattern);
    if (!hit) break;
    const auto at = static_cast<std::size_t>(hit - bytes.data());
    if (legacy) {
      if (at > known) {
        // Back to a byte that ends a character, then forward a character at a time: each byte
        // is walked at most twice over all occurrences.
        std::size_t k = at;
        while (k > known && !EndsCharacter(code, static_cast<unsigned char>(bytes[k - 1]))) --k;
        known = k;
        while (known < at) known += CharacterLength(code, static_cast<unsigned char>(bytes[known]));
      }
      if (known != at) {  // inside a character
        from = at + 1;
        continue;
      }
    }
    found.push_back(at);
    if (!global) break;
    from = known = at + pattern.size();
  }
  return found;
}

}  // namespace

std::optional<std::vector<std::size_t>> FileBuffer::replaceLiterals(
    const std::vector<LiteralEdit>& rules) {
  Impl& d = *impl_;
  if (d.decoded || d.edited || !d.original.held()) return std::nullopt;
  std::vector<std::string> patterns(rules.size());
  std::vector<std::string> replacements(rules.size());
  const auto spell = [&](text::Encoding code) {
    if (!FoundByBytes(code)) return false;
    for (std::size_t k = 0; k < rules.size(); ++k) {
      if (rules[k].pattern.empty() ||
          text::SpellIn(code, rules[k].pattern, patterns[k]) != text::Spelling::Unique ||
          text::SpellIn(code, rules[k].replacement, replacements[k]) != text::Spelling::Unique) {
        return false;
      }
    }
    return true;
  };
  // The text is decoded where the rules cannot go by bytes, and they then read it.
  const std::optional<bool> clean = d.RecogniseStrictly(spell);
  if (!clean || !*clean) return std::nullopt;

  std::vector<std::size_t> counts;
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const std::span<const unsigned char> held = d.original.bytes();
    const std::string_view all(reinterpret_cast<const char*>(held.data()), held.size());
    const std::string_view pattern = patterns[k];
    const std::string_view replacement = replacements[k];
    // A rule that puts back what it finds changes no span, as the decoded text counts it.
    if (pattern == replacement) {
      counts.push_back(0);
      continue;
    }
    const std::vector<std::size_t> at =
        Occurrences(d.encoding, all, d.bom, pattern, rules[k].global);
    counts.push_back(at.size());
    if (at.empty()) continue;
    if (replacement.size() == pattern.size()) {
      std::string bytes = d.original.Take();
      for (std::size_t a : at) std::memcpy(bytes.data() + a, replacement.data(), pattern.size());
      d.original.Replace(std::move(bytes));
      continue;
    }
    std::string bytes;
    bytes.reserve(all.size() - at.size() * pattern.size() + at.size() * replacement.size());
    std::size_t from = 0;
    for (std::size_t a : at) {
      bytes.append(all.substr(from, a - from)).append(replacement);
      from = a + pattern.size();
    }
    bytes.append(all.substr(from));
    d.original.Replace(std::move(bytes));
  }
  return counts;
}

std::u16string_view FileBuffer::text() const {
  impl_->Decode();
  return impl_->text.view();
}

bool FileBuffer::unchanged() const { return impl_->Unchanged(); }

std::u16string FileBuffer::loadedText() const {
  Impl& d = *impl_;
  d.Recognise();
  if (d.original.held()) return text::DecodeText(d.encoding, d.original.bytes());
  Original::Reader reader(d.original, d.name);
  const std::span<const unsigned char> all = reader.read(0, d.original.size());
  std::u16string loaded = text::DecodeText(d.encoding, all.first(d.original.size()));
  reader.Finish();
  return loaded;
}

std::vector<Edit> FileBuffer::changes() const {
  Impl& d = *impl_;
  std::vector<Edit> out;
  if (d.Unchanged()) return out;
  // What lies between two kept runs (inserted units, or original units no run keeps) is one
  // change.
  const std::u16string_view now = d.text.view();
  std::size_t at = 0;        // in the original text
  std::size_t position = 0;  // in the current text
  Runs::Reader reader(d.runs);
  for (Run run; reader.next(run);) {
    if (run.inserted > 0 || run.removed > 0) {
      out.push_back({at, run.removed, std::u16string(now.substr(position, run.inserted))});
    }
    at += run.removed + run.length;
    position += run.inserted + run.length;
  }
  return out;
}

void FileBuffer::setText(std::u16string_view text) {
  const std::u16string_view now = this->text();
  std::size_t head = 0;
  const std::size_t shorter = std::min(now.size(), text.size());
  while (head < shorter && now[head] == text[head]) ++head;
  if (head == now.size() && head == text.size()) return;
  // The edit must not cut a surrogate pair (😀 → 😁 share the first half): the halves would
  // be encoded apart, and a lone half has no bytes in any code.
  if (head > 0 && text::isLeadSurrogate(now[head - 1])) --head;
  std::size_t tail = 0;
  while (tail < shorter - head && now[now.size() - 1 - tail] == text[text.size() - 1 - tail]) {
    ++tail;
  }
  if (tail > 0 && text::isTrailSurrogate(now[now.size() - tail])) --tail;
  // A copy: `text` may be a view of this buffer's own text, which the edit moves.
  applyEdits({Edit{head, now.size() - head - tail,
                   std::u16string(text.substr(head, text.size() - head - tail))}});
}

void FileBuffer::applyEdits(const std::vector<Edit>& edits) {
  VectorReader reader(edits);
  applyEdits(reader);
}

void FileBuffer::applyEdits(EditReader& edits) {
  Impl& d = *impl_;
  d.Decode();
  const std::size_t n = d.text.size();
  const std::u16string_view old = d.text.view();

  // First pass, with nothing changed yet: checks the edits, measures how far the text must
  // move, and makes the new runs. Edits that put back what is there are dropped, so their bytes
  // stay the original ones.
  const Runs whole = d.edited ? Runs() : Runs::Whole(d.index.units());
  RunWalk walk(d.edited ? d.runs : whole);
  RunWriter writer;
  std::size_t end = 0;
  std::size_t at = 0;          // in the old text: units before it are walked
  std::ptrdiff_t growth = 0;   // of the text so far
  std::ptrdiff_t highest = 0;  // the most it grew before any point
  bool changes = false;
  bool idle = false;  // an edit that puts back what is there
  edits.restart();
  for (EditView e; edits.next(e);) {
    if (e.start < end || e.start > n || e.length > n - e.start) {
      throw BufferError(translation::Format(
          translation::translate("FileBuffer", "置換の範囲が正しくありません: %1"), {d.name}));
    }
    end = e.start + e.length;
    if (old.compare(e.start, e.length, e.replacement) == 0) {
      idle = true;
      continue;
    }
    changes = true;
    walk.take(e.start - at, &writer);
    walk.take(e.length, nullptr);
    writer.insert(e.replacement.size());
    at = end;
    growth +=
        static_cast<std::ptrdiff_t>(e.replacement.size()) - static_cast<std::ptrdiff_t>(e.length);
    highest = std::max(highest, growth);
  }
  // A rule that matched nothing, or put back what was there, costs nothing.
  if (!changes) return;
  walk.take(n - at, &writer);
  Runs runs = writer.finish(d.index.units());

  // Second pass: the text moves up by the most it grows anywhere, then each kept span moves
  // down to its place and each replacement is written after it. Writing never overtakes
  // reading, so the text is edited in place and never copied whole.
  const auto shift = static_cast<std::size_t>(highest);
  d.text.reserve(n + shift);
  char16_t* t = d.text.data();
  if (shift > 0) std::memmove(t + shift, t, n * sizeof(char16_t));
  const char16_t* source = t + shift;
  std::size_t w = 0;
  std::size_t r = 0;
  auto moveTo = [&](std::size_t target) {
    // Up to the first change the text is where it was: nothing to move.
    if (target > r && t + w != source + r) {
      std::memmove(t + w, source + r, (target - r) * sizeof(char16_t));
    }
    w += target - r;
    r = target;
  };
  edits.restart();
  for (EditView e; edits.next(e);) {
    if (idle && std::u16string_view(source + e.start, e.length) == e.replacement) continue;
    moveTo(e.start);
    if (!e.replacement.empty()) {
      std::memcpy(t + w, e.replacement.data(), e.replacement.size() * sizeof(char16_t));
    }
    w += e.replacement.size();
    r = e.start + e.length;
  }
  moveTo(n);
  d.text.resize(w);
  // Room left by a rule that grew the text and then shrank it goes back.
  if (d.text.capacity() > w + w / 16 + 4096) d.text.shrinkToFit();
  d.runs = std::move(runs);
  d.edited = true;
}

std::string FileBuffer::bytes(const std::string& name) const {
  Impl& d = *impl_;
  if (d.Unchanged() && d.original.held()) {
    const auto all = d.original.bytes();
    return {reinterpret_cast<const char*>(all.data()), all.size()};
  }
  StringSink sink;
  sink.bytes.reserve(d.original.size() + d.original.size() / 8);
  WriteOutput(d, sink, name);
  return std::move(sink.bytes);
}

void FileBuffer::write(ByteSink& sink, const std::string& name) const {
  WriteOutput(*impl_, sink, name);
}

void FileBuffer::save(const std::string& path, SaveOptions options) const {
  Impl& d = *impl_;
  if (d.Unchanged() && d.original.held()) {
    const auto all = d.original.bytes();
    WriteFileAtomically(path, {reinterpret_cast<const char*>(all.data()), all.size()}, options);
    return;
  }
  WriteFileAtomically(
      path, [&](ByteSink& sink) { WriteOutput(d, sink, path); }, options);
}

void FileBuffer::checkSave(const std::string& path) const {
  if (!impl_->Unchanged()) {
    NullSink sink;
    WriteOutput(*impl_, sink, path);
  }
  CheckWritable(path);
}

}  // namespace morvelle::editbuffer
