#pragma once
// One rule's changes to a text: sorted, non-overlapping spans of the text it was applied to,
// each with its replacement. A rule can change millions of places in a large file, so a span is
// kept in a few bytes and every replacement lives in one shared buffer: no string per match.

#include <QByteArray>
#include <QString>
#include <QStringView>

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
    Put(start - end_);
    Put(length);
    Put(replacement.size());
    replacements_.append(replacement);
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
    explicit Reader(const TextEdits& edits) : edits_(&edits) {}
    bool Next(Edit& edit) {
      if (at_ == edits_->spans_.size()) return false;
      edit.start = end_ + Get();
      edit.length = Get();
      const qsizetype size = Get();
      edit.replacement = QStringView(edits_->replacements_).mid(replacement_, size);
      end_ = edit.start + edit.length;
      replacement_ += size;
      return true;
    }

   private:
    qsizetype Get() {
      quint64 value = 0;
      for (unsigned shift = 0;; shift += 7) {
        const auto b = static_cast<unsigned char>(edits_->spans_[at_++]);
        value |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80)) return qsizetype(value);
      }
    }

    const TextEdits* edits_;
    qsizetype at_ = 0;
    qsizetype end_ = 0;
    qsizetype replacement_ = 0;
  };
  Reader reader() const { return Reader(*this); }

 private:
  // Seven bits a byte, the high bit set on all but the last.
  void Put(qsizetype n) {
    auto value = quint64(n);
    while (value >= 0x80) {
      spans_.append(char(value | 0x80));
      value >>= 7;
    }
    spans_.append(char(value));
  }

  QByteArray spans_;  // per span: its start after the last one's end, its length, its size
  QString replacements_;
  qsizetype end_ = 0;
  qsizetype growth_ = 0;
  qsizetype count_ = 0;
};

}  // namespace morvelle
