#pragma once
// One rule's changes to a text: sorted, non-overlapping spans of the text it was applied to,
// each with its replacement. A rule can change millions of places in a large file, so a span is
// kept in a few bytes and every replacement lives in one shared buffer: no string per match,
// and a replacement the same as the one before it (a rule's fixed text) is kept once, so that
// a rule that makes each character a hundred holds its text once, not once per match.

#include <QStringView>

#include "packed/realloc_buffer.h"
#include "packed/varint.h"

namespace morvelle {

class TextEdits {
 public:
  struct Edit {
    qsizetype start = 0;
    qsizetype length = 0;
    QStringView replacement;  // valid while the TextEdits is, and unchanged
  };

  // Spans come in order: each starts at or after the end of the one before.
  void Add(qsizetype start, qsizetype length, QStringView replacement) {
    const bool again = count_ > 0 && replacement == Last();
    // The size with one bit more: set when the replacement is the last one again.
    packed::AppendVarints(spans_, start - end_, length,
                          (replacement.size() << 1) | (again ? 1 : 0));
    if (!again) {
      lastAt_ = qsizetype(replacements_.size());
      replacements_.append(replacement.utf16(), std::size_t(replacement.size()));
    }
    end_ = start + length;
    growth_ += replacement.size() - length;
    ++count_;
  }

  qsizetype size() const { return count_; }
  bool isEmpty() const { return count_ == 0; }
  // How much longer the text becomes (negative: shorter).
  qsizetype growth() const { return growth_; }

  class Reader {
   public:
    explicit Reader(const TextEdits& edits)
        : at_(edits.spans_.data()),
          end_(at_ + edits.spans_.size()),
          replacement_(edits.replacements_.data()) {}
    bool Next(Edit& edit) {
      if (at_ == end_) return false;
      edit.start = last_ + Get();
      edit.length = Get();
      const qsizetype sized = Get();
      const qsizetype size = sized >> 1;
      if ((sized & 1) == 0) {
        previous_ = replacement_;
        replacement_ += size;
      }
      edit.replacement = QStringView(previous_, size);
      last_ = edit.start + edit.length;
      return true;
    }

   private:
    qsizetype Get() { return qsizetype(packed::GetVarint(at_)); }

    const unsigned char* at_;
    const unsigned char* end_;
    const char16_t* replacement_;         // the next replacement kept
    const char16_t* previous_ = nullptr;  // the last one read
    qsizetype last_ = 0;                  // end of the edit before
  };
  Reader reader() const { return Reader(*this); }

 private:
  QStringView Last() const {
    return QStringView(replacements_.data() + lastAt_, qsizetype(replacements_.size()) - lastAt_);
  }

  packed::ReallocBuffer<unsigned char> spans_;  // per span: its start after the last one's end,
                                                // its length, its replacement's size (twice, and
                                                // one if it is the last one again)
  packed::ReallocBuffer<char16_t> replacements_;
  qsizetype lastAt_ = 0;  // where the last replacement kept begins
  qsizetype end_ = 0;
  qsizetype growth_ = 0;
  qsizetype count_ = 0;
};

}  // namespace morvelle
