// The parallel batches against the single-threaded ones on the same lists of real files: the
// same outputs, messages and result at every thread count and window, whatever fails where.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>

#include "adapters/editor_buffer_impl.h"
#include "adapters/text_service_factory.h"
#include "engine/batches.h"
#include "engine/ordered_pipeline.h"
#include "services/service_error.h"
#include "support/failing_buffer.h"
#include "support/fake_text_service.h"
#include "support/recording_sink.h"
#include "support/vector_targets.h"

namespace morvelle::engine {
namespace {

using testing::RecordingSink;

struct Outcome {
  BatchResult result;
  QStringList messages;  // the folder's path replaced by "<dir>"
  QStringList reports;
  QMap<QString, QByteArray> files;

  friend bool operator==(const Outcome& a, const Outcome& b) {
    return a.result.written == b.result.written && a.result.failures == b.result.failures &&
           a.result.stopped == b.result.stopped && a.messages == b.messages &&
           a.reports == b.reports && a.files == b.files;
  }
};

// Fails on a text holding "FAIL", as a rule that hits its bound on one file would.
QString FailingOnMarker(const QString& expression, const QString& text) {
  if (text.contains(QStringLiteral("FAIL"))) {
    throw ServiceError(QStringLiteral("照合の上限を超えました"));
  }
  return testing::LiteralRule(expression, text);
}

// 30 files plus an old output that no row writes, a failing rule on some files, and, with
// `fatalAt`, an output name taken by a folder there, which ends the run.
testing::VectorTargets MakeList(const QString& folder, int fatalAt) {
  testing::VectorTargets targets;
  const QDir dir(folder);
  for (int i = 0; i < 30; ++i) {
    const QString name = QStringLiteral("f%1.txt").arg(i, 2, 10, QLatin1Char('0'));
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray text = QByteArray(100 + i * 13, 'a') + " x marks x\n";
    if (i % 7 == 3) text += "FAIL\n";
    f.write(text);
    targets.sources << dir.filePath(name);
    if (i == 4) {
      QFile old(dir.filePath(QStringLiteral("g04.txt.exp")));
      EXPECT_TRUE(old.open(QIODevice::WriteOnly));
      old.write("an x from an earlier run\n");
      targets.sources << old.fileName();
    }
  }
  if (fatalAt >= 0) {
    dir.mkdir(QStringLiteral("f%1.txt.exp").arg(fatalAt, 2, 10, QLatin1Char('0')));
  }
  return targets;
}

Outcome Collect(const QTemporaryDir& dir, const RecordingSink& sink, BatchResult result,
                QStringList reports) {
  Outcome o{result, {}, std::move(reports), {}};
  for (QString m : sink.messages) o.messages << m.replace(dir.path(), QStringLiteral("<dir>"));
  const QDir d(dir.path());
  for (const QString& name : d.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
    QFile f(d.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    o.files.insert(name, f.readAll());
  }
  return o;
}

QString ReportLine(const QTemporaryDir& dir, const FileReport& r) {
  QString line =
      QString::number(r.index) + u' ' + QDir(dir.path()).relativeFilePath(r.target.sourcePath);
  for (qsizetype n : r.replacements) line += u' ' + QString::number(n);
  if (r.ruleFailed) line += QStringLiteral(" failed");
  if (r.written) line += QStringLiteral(" written");
  return line;
}

TextServiceFactoryMaker FakeServices() {
  return [] {
    return TextServiceFactory(
        [] { return std::make_unique<testing::FakeTextService>(FailingOnMarker); });
  };
}

const QStringList kRules{QStringLiteral("s/x/y/"), QStringLiteral("s/y/zz/")};

Outcome Replace(int threads, qsizetype window, int fatalAt, bool dryRun) {
  QTemporaryDir dir;
  const testing::VectorTargets targets = MakeList(dir.path(), fatalAt);
  RecordingSink sink;
  QStringList reports;
  ParallelOptions options;
  options.threads = threads;
  options.window = window;
  options.dryRun = dryRun;
  options.fileDone = [&](const FileReport& r) { reports << ReportLine(dir, r); };
  const BatchResult result =
      ReplaceAllParallel(kRules, targets, MakeEditorBuffer, FakeServices(), sink, options);
  return Collect(dir, sink, result, reports);
}

struct Shape {
  int threads;
  qsizetype window;
};
constexpr Shape kShapes[] = {{2, 0}, {3, 1}, {8, 2}, {4, 64}};

TEST(ParallelReplace, MatchesOneThreadWhateverFailsWhere) {
  for (const int fatalAt : {-1, 0, 17, 29}) {
    for (const bool dryRun : {false, true}) {
      const Outcome one = Replace(1, 0, fatalAt, dryRun);
      for (const Shape& s : kShapes) {
        EXPECT_EQ(Replace(s.threads, s.window, fatalAt, dryRun), one)
            << "threads " << s.threads << " window " << s.window << " fatal at " << fatalAt
            << (dryRun ? " dry run" : "");
      }
    }
  }
}

TEST(ParallelReplace, OneThreadIsTheButtonsBatch) {
  // The reference above is itself checked against ReplaceAll as the window calls it.
  QTemporaryDir dir;
  const testing::VectorTargets targets = MakeList(dir.path(), 17);
  RecordingSink sink;
  const std::unique_ptr<EditorBuffer> buffer = MakeEditorBuffer();
  const BatchResult result = ReplaceAll(kRules, targets, *buffer, FakeServices()(), sink);
  const Outcome viaButtons = Collect(dir, sink, result, {});
  Outcome viaFront = Replace(1, 0, 17, false);
  viaFront.reports.clear();
  EXPECT_EQ(viaFront, viaButtons);
  EXPECT_EQ(result.written, 17 + 1);  // f00..f16 and the old output's row
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(viaButtons.files.value(QStringLiteral("g04.txt.exp.exp")),
            QByteArray("an zz from an earlier run\n"));
}

Outcome Convert(int threads, qsizetype window, int fatalAt) {
  QTemporaryDir dir;
  testing::VectorTargets targets = MakeList(dir.path(), -1);
  if (fatalAt >= 0) {
    // Binary data cannot be converted.
    QFile f(targets.sources[fatalAt]);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x00\x01\x02\x00\xFF\x00\x00\x00", 8));
  }
  RecordingSink sink;
  QStringList reports;
  ParallelOptions options;
  options.threads = threads;
  options.window = window;
  options.fileDone = [&](const FileReport& r) { reports << ReportLine(dir, r); };
  const BatchResult result = ConvertAllParallel(
      targets, CharacterCode::Ucs2, [] { return MakeTextServiceFactory(); }, sink, options);
  return Collect(dir, sink, result, reports);
}

TEST(ParallelConvert, MatchesOneThreadAndLeavesNothingStaged) {
  for (const int fatalAt : {-1, 0, 12}) {
    const Outcome one = Convert(1, 0, fatalAt);
    EXPECT_EQ(one.result.stopped, fatalAt >= 0);
    for (const Shape& s : kShapes) {
      const Outcome many = Convert(s.threads, s.window, fatalAt);
      EXPECT_EQ(many, one) << "threads " << s.threads << " fatal at " << fatalAt;
      for (const QString& name : many.files.keys()) {
        EXPECT_FALSE(name.contains(QStringLiteral(".staged-"))) << name.toStdString();
      }
    }
  }
}

TEST(ParallelConvert, AServiceThatCannotBeMadeEndsTheRunAtTheFirstFile) {
  QTemporaryDir dir;
  const testing::VectorTargets targets = MakeList(dir.path(), -1);
  for (const int threads : {1, 3}) {
    RecordingSink sink;
    ParallelOptions options;
    options.threads = threads;
    const BatchResult r = ConvertAllParallel(
        targets, CharacterCode::Utf8,
        [] {
          return TextServiceFactory([]() -> std::unique_ptr<TextService> {
            throw ServiceError(QStringLiteral("テキストサービスを作成できません"));
          });
        },
        sink, options);
    EXPECT_EQ(r.written, 0);
    EXPECT_EQ(r.failures, 1);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("テキストサービスを作成できません")});
  }
}

TEST(ParallelReplace, ABufferThatCannotBeMadeEndsTheRunAtTheFirstFileAtAnyThreadCount) {
  QTemporaryDir dir;
  const testing::VectorTargets targets = MakeList(dir.path(), -1);
  for (const int threads : {1, 2, 5}) {
    RecordingSink sink;
    ParallelOptions options;
    options.threads = threads;
    const BatchResult r = ReplaceAllParallel(
        kRules, targets,
        []() -> std::unique_ptr<EditorBuffer> {
          throw ServiceError(QStringLiteral("バッファーを作成できません"));
        },
        FakeServices(), sink, options);
    EXPECT_EQ(r.written, 0) << threads;
    EXPECT_EQ(r.failures, 1) << threads;
    EXPECT_TRUE(r.stopped) << threads;
    EXPECT_EQ(sink.messages, QStringList{QStringLiteral("バッファーを作成できません")});
  }
  EXPECT_FALSE(QFile::exists(targets.sources[0] + QStringLiteral(".exp")));
}

TEST(ParallelReplace, WhatTheCallersSideThrowsLeavesTheRunWithEveryThreadJoined) {
  // Beyond ServiceError, from the sink, a write or fileDone: the run ends by that exception,
  // never by std::terminate for a thread left running.
  class ThrowingSink : public MessageSink {
   public:
    void ShowError(const QString&) override { throw std::runtime_error("sink"); }
  };
  QTemporaryDir dir;
  const testing::VectorTargets targets = MakeList(dir.path(), -1);  // file 3 fails a rule
  auto failingWrites = [] {
    auto buffer = std::make_unique<testing::FailingBuffer>();
    buffer->failWriteAt = 2;
    buffer->failure = [] { throw std::bad_alloc(); };
    return buffer;
  };
  for (const int threads : {2, 5}) {
    ParallelOptions options;
    options.threads = threads;
    ThrowingSink throwing;
    EXPECT_THROW(
        ReplaceAllParallel(kRules, targets, MakeEditorBuffer, FakeServices(), throwing, options),
        std::runtime_error);
    RecordingSink sink;
    EXPECT_THROW(ReplaceAllParallel(kRules, targets, failingWrites, FakeServices(), sink, options),
                 std::bad_alloc);
    options.fileDone = [](const FileReport&) { throw std::logic_error("done"); };
    EXPECT_THROW(
        ReplaceAllParallel(kRules, targets, MakeEditorBuffer, FakeServices(), sink, options),
        std::logic_error);
  }
}

TEST(ParallelReplace, LargeFilesStagedWithTheirTextAreWrittenAsOneThreadWritesThem) {
  // Files of 16 MB and more are staged with their buffer rather than their bytes: the worker's
  // buffer is free for the next file before the first is written.
  auto run = [](int threads) {
    QTemporaryDir dir;
    testing::VectorTargets targets;
    for (const int megabytes : {17, 0, 17}) {
      const QString path =
          QDir(dir.path())
              .filePath(QStringLiteral("%1-%2.txt").arg(megabytes).arg(targets.sources.size()));
      QFile f(path);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(1 << 20, 'a').repeated(megabytes) + "\x82\xA0 end\n");
      targets.sources << path;
    }
    RecordingSink sink;
    ParallelOptions options;
    options.threads = threads;
    const BatchResult result = ReplaceAllParallel(
        {QStringLiteral("s/ end/ fin/")}, targets, MakeEditorBuffer,
        [] { return MakeTextServiceFactory(); }, sink, options);
    return Collect(dir, sink, result, {});
  };
  const Outcome one = run(1);
  EXPECT_EQ(one.result.written, 3);
  EXPECT_TRUE(one.files.value(QStringLiteral("17-2.txt.exp")).endsWith("\x82\xA0 fin\n"));
  EXPECT_EQ(run(2), one);
}

TEST(ParallelPipeline, ItemsPreparedAheadStayWithinTheirWeightButTheNextAlwaysGoes) {
  // Each item weighs 100 against a budget of 150: with a window of ten, one worker may run only
  // one item ahead of the caller, and the item the caller waits for is never held back.
  constexpr qsizetype kCount = 12;
  std::atomic<qsizetype> begun{-1};
  OrderedPipeline<qsizetype> pipeline(
      kCount, 1, 10,
      [&] {
        return [&](qsizetype i) {
          begun = i;
          return i;
        };
      },
      150, [](qsizetype) { return qint64{100}; });
  for (qsizetype i = 0; i < kCount; ++i) {
    EXPECT_EQ(pipeline.Take(i), i);
    EXPECT_LE(begun.load(), i + 1);
  }
}

}  // namespace
}  // namespace morvelle::engine
