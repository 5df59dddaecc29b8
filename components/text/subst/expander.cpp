// Expanding a compiled replacement for one match: the captures as perl interpolates them,
// then perl's case modifiers over what their reach produced.

#include <limits>

#include "case_mapping.h"
#include "replacement.h"

namespace morvelle::text::detail {
namespace {

constexpr std::size_t kUnset = std::numeric_limits<std::size_t>::max();

bool isSet(const MatchGroups& m, std::uint32_t g) {
  return g < m.setCount && m.ovector[2 * g] != kUnset;
}

void appendGroup(const MatchGroups& m, std::uint32_t g, std::u16string& out) {
  if (!isSet(m, g)) return;  // perl interpolates an unset group as the empty string
  out.append(m.subject.substr(m.ovector[2 * g], m.ovector[2 * g + 1] - m.ovector[2 * g]));
}

std::uint32_t lastClosed(const MatchGroups& m) {
  std::uint32_t best = 0;
  for (std::uint32_t g = 1; g < m.setCount; ++g) {
    if (!isSet(m, g)) continue;
    if (best == 0 || m.ovector[2 * g + 1] > m.ovector[2 * best + 1]) {
      best = g;
    } else if (m.ovector[2 * g + 1] == m.ovector[2 * best + 1]) {
      // Same end: the group whose ")" comes later in the pattern closed last.
      bool later = m.closeRank && g < m.closeRank->size() && best < m.closeRank->size()
                       ? (*m.closeRank)[g] > (*m.closeRank)[best]
                       : true;
      if (later) best = g;
    }
  }
  return best;
}

}  // namespace

void expand(const ReplacementProgram& program, const MatchGroups& match, CaseMapper& mapper,
            std::u16string& out) {
  // Case modifiers work on what their reach produced, so remember where each one began.
  std::vector<std::pair<char16_t, std::size_t>> open;
  for (const Piece& piece : program.pieces) {
    switch (piece.kind) {
      case PieceKind::Literal:
        out += piece.text;
        break;
      case PieceKind::Group:
        appendGroup(match, piece.group, out);
        break;
      case PieceKind::Named:
        for (std::uint32_t g : piece.groups) {
          if (isSet(match, g)) {
            appendGroup(match, g, out);
            break;
          }
        }
        break;
      case PieceKind::Match:
        appendGroup(match, 0, out);
        break;
      case PieceKind::Prematch:
        out.append(match.subject.substr(0, match.ovector[0]));
        break;
      case PieceKind::Postmatch:
        out.append(match.subject.substr(match.ovector[1]));
        break;
      case PieceKind::LastParen: {
        std::uint32_t g = match.setCount;
        while (g > 1 && !isSet(match, g - 1)) --g;
        if (g > 1) appendGroup(match, g - 1, out);
        break;
      }
      case PieceKind::LastClosed: {
        std::uint32_t g = lastClosed(match);
        if (g > 0) appendGroup(match, g, out);
        break;
      }
      case PieceKind::Open:
        open.emplace_back(piece.op, out.size());
        break;
      case PieceKind::Close: {
        auto [op, start] = open.back();
        open.pop_back();
        std::u16string mapped = mapper.apply(op, std::u16string_view(out).substr(start));
        out.resize(start);
        out += mapped;
        break;
      }
    }
  }
}

}  // namespace morvelle::text::detail
