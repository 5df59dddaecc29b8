#include "cli/unified_diff.h"

#include <algorithm>

#include "services/file_names.h"
#include "text/codec/codec.h"

namespace morvelle::cli {

namespace {

constexpr qsizetype kContext = 3;

// Where each line of a text starts; a last line without its LF counts, an empty tail does not.
std::vector<qsizetype> LineStarts(QStringView text) {
  std::vector<qsizetype> starts{0};
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && i + 1 < text.size()) starts.push_back(i + 1);
  }
  if (text.isEmpty()) starts.clear();
  return starts;
}

qsizetype LineOf(const std::vector<qsizetype>& starts, qsizetype position) {
  return qsizetype(std::upper_bound(starts.begin(), starts.end(), position) - starts.begin()) - 1;
}

// Lines [first, last) of the old text replaced by `replacement`, whole lines on both sides.
struct Block {
  qsizetype first = 0;
  qsizetype last = 0;
  QString replacement;
};

void AppendUtf8(QByteArray& out, QStringView text) {
  const std::u16string_view units(text.utf16(), size_t(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text::IsRawByteAt(units, size_t(i))) {
      out += char(text::RawByteOf(units[size_t(i)]));  // an undecodable byte, shown as it was
      continue;
    }
    const qsizetype n = text::pairAt(units, size_t(i)) ? 2 : 1;
    out += text.mid(i, n).toUtf8();
    i += n - 1;
  }
}

class Writer {
 public:
  explicit Writer(DiffStyle style) : style_(style) {}

  void Line(QByteArray& out, char mark, QStringView line) {
    const char* colour = mark == '-' ? "\x1b[31m" : mark == '+' ? "\x1b[32m" : nullptr;
    if (style_.color && colour) out += colour;
    out += mark;
    const bool ends = line.endsWith(u'\n');
    AppendUtf8(out, ends ? line.chopped(1) : line);
    if (style_.color && colour) out += "\x1b[m";
    out += '\n';
    if (!ends) out += "\\ No newline at end of file\n";
  }
  void Header(QByteArray& out, const QByteArray& text, const char* colour) {
    if (style_.color) out += colour;
    out += text;
    if (style_.color) out += "\x1b[m";
    out += '\n';
  }

 private:
  DiffStyle style_;
};

QByteArray Range(qsizetype start, qsizetype count) {
  // An empty range is named by the line before it.
  return QByteArray::number(count == 0 ? start : start + 1) + ',' + QByteArray::number(count);
}

}  // namespace

QByteArray UnifiedDiff(const QString& sourceName, const QString& outputName, const QString& before,
                       const std::vector<TextEdit>& changes, DiffStyle style) {
  if (changes.empty()) return {};
  const std::vector<qsizetype> starts = LineStarts(before);
  const qsizetype lines = qsizetype(starts.size());
  auto startOf = [&](qsizetype line) {
    return line < lines ? starts[size_t(line)] : before.size();
  };

  // Whole-line blocks: each change widened to the lines it touches, touching blocks merged.
  std::vector<Block> blocks;
  qsizetype copiedTo = 0;  // in `before`, for the replacement text of the open block
  // Whether the open block's replacement, completed to its last line, ends a line. When a line
  // end was removed it does not, and the next line belongs to the block too.
  auto endsLine = [&] {
    const Block& open = blocks.back();
    const QStringView tail = QStringView(before).mid(copiedTo, startOf(open.last) - copiedTo);
    if (!tail.isEmpty()) return tail.endsWith(u'\n');
    return open.replacement.isEmpty() || open.replacement.endsWith(u'\n');
  };
  auto takeInWhileJoined = [&] {
    while (!endsLine() && blocks.back().last < lines) ++blocks.back().last;
  };
  auto close = [&] {
    Block& open = blocks.back();
    open.replacement += QStringView(before).mid(copiedTo, startOf(open.last) - copiedTo);
  };
  for (const TextEdit& e : changes) {
    qsizetype first = lines;  // an addition after the last line ends
    qsizetype last = lines;
    if (e.start < before.size()) {
      first = LineOf(starts, e.start);
      last = LineOf(starts, e.start + std::max<qsizetype>(e.length, 1) - 1) + 1;
    } else if (!before.isEmpty() && !before.endsWith(u'\n')) {
      first = lines - 1;  // the last line goes on
    }
    if (!blocks.empty() && first >= blocks.back().last) takeInWhileJoined();
    if (blocks.empty() || first >= blocks.back().last) {
      if (!blocks.empty()) close();
      blocks.push_back({first, last, {}});
      copiedTo = startOf(first);
    } else {
      blocks.back().last = std::max(blocks.back().last, last);
    }
    Block& open = blocks.back();
    open.replacement += QStringView(before).mid(copiedTo, e.start - copiedTo);
    open.replacement += e.replacement;
    copiedTo = e.start + e.length;
  }
  takeInWhileJoined();
  close();

  Writer w(style);
  QByteArray out;
  w.Header(out, "--- " + EncodeFileName(sourceName), "\x1b[1m");
  w.Header(out, "+++ " + EncodeFileName(outputName), "\x1b[1m");
  qsizetype shift = 0;  // new line number minus old, before the block at hand
  for (size_t b = 0; b < blocks.size();) {
    // One hunk: blocks whose context would touch.
    size_t end = b + 1;
    while (end < blocks.size() && blocks[end].first - blocks[end - 1].last <= 2 * kContext) ++end;
    const qsizetype from = std::max<qsizetype>(blocks[b].first - kContext, 0);
    const qsizetype to = std::min(blocks[end - 1].last + kContext, lines);
    QByteArray body;
    qsizetype oldCount = 0, newCount = 0, hunkShift = shift;
    qsizetype at = from;
    for (size_t k = b; k < end; ++k) {
      for (; at < blocks[k].first; ++at, ++oldCount, ++newCount) {
        w.Line(body, ' ', QStringView(before).mid(startOf(at), startOf(at + 1) - startOf(at)));
      }
      for (; at < blocks[k].last; ++at, ++oldCount) {
        w.Line(body, '-', QStringView(before).mid(startOf(at), startOf(at + 1) - startOf(at)));
      }
      const std::vector<qsizetype> added = LineStarts(blocks[k].replacement);
      for (size_t n = 0; n < added.size(); ++n, ++newCount) {
        const qsizetype s = added[n];
        const qsizetype e = n + 1 < added.size() ? added[n + 1] : blocks[k].replacement.size();
        w.Line(body, '+', QStringView(blocks[k].replacement).mid(s, e - s));
      }
      shift += qsizetype(added.size()) - (blocks[k].last - blocks[k].first);
    }
    for (; at < to; ++at, ++oldCount, ++newCount) {
      w.Line(body, ' ', QStringView(before).mid(startOf(at), startOf(at + 1) - startOf(at)));
    }
    w.Header(out, "@@ -" + Range(from, oldCount) + " +" + Range(from + hunkShift, newCount) + " @@",
             "\x1b[36m");
    out += body;
    b = end;
  }
  return out;
}

}  // namespace morvelle::cli
