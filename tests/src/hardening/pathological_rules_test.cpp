// Expressions that make backtracking engines explode, huge expressions and a replacement that
// multiplies the text, through the program's text service: each ends within the match bound
// with a Japanese error that says why, or succeeds within the memory budget. The times are
// printed, never asserted; ctest's timeout is the guard against a hang.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QString>
#include <chrono>
#include <cstdio>

#include "adapters/text_service_factory.h"
#include "services/service_error.h"

namespace morvelle {
namespace {

constexpr long kMemoryBudgetKiB = 2L * 1024 * 1024;

long PeakRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

enum class Outcome { Bounded, Succeeds, Either };

struct Case {
  const char* name;
  QString expression;
  QString text;
  Outcome expected;
  // When it succeeds: the length of the result, or -1 for the input's length.
  qsizetype resultLength = -1;
};

QString Alternatives(int count) {
  QString pattern;
  for (int i = 0; i < count; ++i) {
    if (i) pattern += u'|';
    pattern += QStringLiteral("w%1x").arg(i);
  }
  return pattern;
}

std::vector<Case> Cases() {
  const QString megabyteOfA(1 << 20, u'a');
  QString runs;  // 18 a's cost 2^18 steps from each start: under the per-start limit, so the
                 // clock must end it (no literal every match needs, which would be searched
                 // for first)
  while (runs.size() < (1 << 20)) runs += QString(18, u'a') + u' ';
  QString words;
  for (int i = 0; words.size() < (1 << 17); i += 997) words += QStringLiteral("w%1x ").arg(i);
  return {
      {"nested quantifier over 1 MB of a", QStringLiteral("s/(a+)+b/X/g"), megabyteOfA,
       Outcome::Either},
      {"star of star", QStringLiteral("s/(.*)*x//"), megabyteOfA, Outcome::Either},
      {"ambiguous alternation", QStringLiteral("s/(?:a|a)*c//g"), megabyteOfA, Outcome::Either},
      {"ambiguous alternation on many short runs", QStringLiteral("s/(?:a|a)*(?:c|d)//g"), runs,
       Outcome::Bounded},
      {"50,000 alternatives",
       QStringLiteral("s/(?:") + Alternatives(50000) + QStringLiteral(")/X/g"), words,
       Outcome::Either},
      {"1 MB expression", QStringLiteral("s/") + megabyteOfA + QStringLiteral("/X/"),
       megabyteOfA + megabyteOfA, Outcome::Either, (1 << 20) + 1},
      // 64 KiB become 64 MiB units: 128 MB of UTF-16, a few copies of it in flight.
      {"replacement growing the text 1000 times",
       QStringLiteral("s/./") + QString(1000, u'Z') + QStringLiteral("/g"), QString(1 << 16, u'q'),
       Outcome::Succeeds, qsizetype(1000) << 16},
  };
}

bool IsJapanese(const QString& s) {
  for (QChar c : s) {
    if (c.unicode() >= 0x3040 && c.unicode() <= 0x9FFF) return true;
  }
  return false;
}

TEST(PathologicalRulesTest, EachEndsWithinItsBoundWithAReasonOrAResult) {
  auto service = MakeTextServiceFactory()();
  double worst = 0;
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const auto start = std::chrono::steady_clock::now();
    QString error;
    TextEdits edits;
    try {
      edits = service->SubstituteWithEdits(c.expression, c.text);
    } catch (const ServiceError& e) {
      error = e.description();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    worst = std::max(worst, seconds);
    std::printf("[ timing ] %-42s %7.3f s  %s\n", c.name, seconds,
                error.isEmpty() ? "result" : error.left(60).toUtf8().constData());

    if (!error.isEmpty()) {
      EXPECT_NE(c.expected, Outcome::Succeeds) << error.toStdString();
      EXPECT_TRUE(IsJapanese(error)) << error.toStdString();
    } else {
      EXPECT_NE(c.expected, Outcome::Bounded);
      EXPECT_EQ(c.text.size() + edits.growth(),
                c.resultLength < 0 ? c.text.size() : c.resultLength);
    }
    EXPECT_LT(PeakRssKiB(), kMemoryBudgetKiB);
  }
  std::printf("[ timing ] worst %.3f s\n", worst);
}

// A rule stopped by its bound gives the error that says so, and the next call on the same
// service works: nothing of the failed match is left behind.
TEST(PathologicalRulesTest, AStoppedMatchSaysSoAndTheServiceGoesOn) {
  auto service = MakeTextServiceFactory()();
  const QString text = QString(28, u'a') + u'!';
  QString error;
  try {
    service->Substitute(QStringLiteral("s/^(a|aa|a?a)*$/X/"), text);
  } catch (const ServiceError& e) {
    error = e.description();
  }
  ASSERT_FALSE(error.isEmpty()) << "the match finished; the case no longer exercises the bound";
  EXPECT_TRUE(error.contains(QStringLiteral("置換を中止しました"))) << error.toStdString();
  EXPECT_EQ(service->Substitute(QStringLiteral("s/a/b/"), text), u'b' + text.mid(1));
}

}  // namespace
}  // namespace morvelle
