// Collisions between a run's outputs and its rows, found from the file system before any write.
#include "engine/collisions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace morvelle::engine {
namespace {

struct Case {
  const char* name;
  std::vector<const char*> rows;  // relative to the folder; the output is the lower-cased name
  const char* message;            // "<d>" for the folder; nullptr when the run may go ahead
};

const Case kCases[] = {
    {"an output over a later row",
     {"memo.txt", "memo.txt.exp"},
     "1 番目の <d>/memo.txt の出力 <d>/memo.txt.exp は 2 番目のファイル <d>/memo.txt.exp です "
     "(書き込むとそのファイルが失われます)"},
    {"an output over an earlier row",
     {"memo.txt.exp", "memo.txt"},
     "2 番目の <d>/memo.txt の出力 <d>/memo.txt.exp は 1 番目のファイル <d>/memo.txt.exp です "
     "(書き込むとそのファイルが失われます)"},
    {"a chain",
     {"a.txt", "a.txt.exp", "a.txt.exp.exp"},
     "1 番目の <d>/a.txt の出力 <d>/a.txt.exp は 2 番目のファイル <d>/a.txt.exp です "
     "(書き込むとそのファイルが失われます)"},
    {"names that differ in case",
     {"Memo.TXT", "memo.txt"},
     "1 番目の <d>/Memo.TXT と 2 番目の <d>/memo.txt は同じ出力 <d>/memo.txt.exp に書き込みます "
     "(先の結果が失われます)"},
    {"one file spelled two ways",
     {"b.txt", "./b.txt"},
     "1 番目の <d>/b.txt と 2 番目の <d>/./b.txt は同じ出力 <d>/./b.txt.exp に書き込みます "
     "(先の結果が失われます)"},
    {"a folder reached through a link",
     {"real/c.txt", "link/c.txt"},
     "1 番目の <d>/real/c.txt と 2 番目の <d>/link/c.txt は同じ出力 <d>/link/c.txt.exp "
     "に書き込みます (先の結果が失われます)"},
    {"an output that is a hard link to a row",
     {"h.txt", "b.txt"},
     "1 番目の <d>/h.txt の出力 <d>/h.txt.exp は 2 番目のファイル <d>/b.txt です "
     "(書き込むとそのファイルが失われます)"},
    {"an old output that no row writes", {"old.txt.exp", "b.txt"}, nullptr},
    {"an old output whose source is not a row", {"memo.txt.exp"}, nullptr},
};

TEST(FindCollision, RowsThatAnOutputWouldDestroyOrWriteTwice) {
  QTemporaryDir dir;
  const QDir d(dir.path());
  for (const char* name : {"memo.txt", "memo.txt.exp", "Memo.TXT", "a.txt", "a.txt.exp",
                           "a.txt.exp.exp", "b.txt", "h.txt", "old.txt.exp"}) {
    QFile f(d.filePath(QString::fromUtf8(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(name);
  }
  ASSERT_TRUE(d.mkdir(QStringLiteral("real")));
  ASSERT_TRUE(QFile::link(d.filePath(QStringLiteral("real")), d.filePath(QStringLiteral("link"))));
  QFile(d.filePath(QStringLiteral("real/c.txt"))).open(QIODevice::WriteOnly);
  ASSERT_EQ(::link(QFile::encodeName(d.filePath(QStringLiteral("b.txt"))).constData(),
                   QFile::encodeName(d.filePath(QStringLiteral("h.txt.exp"))).constData()),
            0);

  for (const Case& c : kCases) {
    std::vector<BatchTarget> targets;
    for (const char* row : c.rows) {
      const QString source = d.filePath(QString::fromUtf8(row));
      const qsizetype slash = source.lastIndexOf(u'/');
      targets.push_back({source, source.left(slash + 1) + source.mid(slash + 1).toLower() +
                                     QStringLiteral(".exp")});
    }
    const std::optional<QString> found = FindCollision(targets);
    if (!c.message) {
      EXPECT_FALSE(found) << c.name << ": " << found.value_or(QString()).toStdString();
      continue;
    }
    ASSERT_TRUE(found) << c.name;
    EXPECT_EQ(QString(*found).replace(dir.path(), QStringLiteral("<d>")),
              QStringLiteral("出力先が重なるため、何も書き込まずに中止しました: ") +
                  QString::fromUtf8(c.message))
        << c.name;
  }

  // A rule set the run reads is not a row, but it must not be written over either.
  const QString set = d.filePath(QStringLiteral("old.txt.exp"));
  EXPECT_EQ(
      FindCollision({{d.filePath(QStringLiteral("b.txt")), d.filePath(QStringLiteral("b.txt.exp"))},
                     {d.filePath(QStringLiteral("old.txt")), set}},
                    {set}),
      QStringLiteral("出力先が重なるため、何も書き込まずに中止しました: 2 番目の %1 の出力 %2 "
                     "は設定ファイル %2 です (書き込むとそのファイルが失われます)")
          .arg(d.filePath(QStringLiteral("old.txt")), set));
}

}  // namespace
}  // namespace morvelle::engine
