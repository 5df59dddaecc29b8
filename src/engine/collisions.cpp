#include "engine/collisions.h"

#include <QCoreApplication>
#include <QHash>

#include "services/file_identity.h"

namespace morvelle::engine {

namespace {

QString Stopped(const QString& what) {
  return QCoreApplication::translate("Batches",
                                     "出力先が重なるため、何も書き込まずに中止しました: %1")
      .arg(what);
}

}  // namespace

std::optional<QString> FindCollision(const std::vector<BatchTarget>& targets,
                                     const QStringList& ruleSets) {
  // Each source's entry and the files it reaches, with the first row that reads it.
  QHash<QString, qsizetype> sourceEntries;
  QHash<FileId, qsizetype> sourceFiles;
  PathIdentifier identifier;
  auto note = [](auto& map, const auto& key, qsizetype row) {
    if (!map.contains(key)) map.insert(key, row);
  };
  for (qsizetype row = 0; row < qsizetype(targets.size()); ++row) {
    const PathIdentity source = identifier.Identify(targets[size_t(row)].sourcePath);
    note(sourceEntries, source.entry, row);
    for (const std::optional<FileId>& id : {source.self, source.target}) {
      if (id) note(sourceFiles, *id, row);
    }
  }

  // Rule sets as rows after the last, told apart in the message.
  const qsizetype rows = qsizetype(targets.size());
  for (qsizetype k = 0; k < ruleSets.size(); ++k) {
    const PathIdentity set = identifier.Identify(ruleSets[k]);
    note(sourceEntries, set.entry, rows + k);
    for (const std::optional<FileId>& id : {set.self, set.target}) {
      if (id) note(sourceFiles, *id, rows + k);
    }
  }

  QHash<QString, qsizetype> outputEntries;
  for (qsizetype row = 0; row < qsizetype(targets.size()); ++row) {
    const BatchTarget& target = targets[size_t(row)];
    const PathIdentity output = identifier.Identify(target.outputPath);
    qsizetype reader = sourceEntries.value(output.entry, -1);
    if (reader < 0 && output.self) reader = sourceFiles.value(*output.self, -1);
    if (reader >= rows) {
      return Stopped(QCoreApplication::translate("Batches",
                                                 "%1 番目の %2 の出力 %3 は設定ファイル %4 です "
                                                 "(書き込むとそのファイルが失われます)")
                         .arg(row + 1)
                         .arg(target.sourcePath, target.outputPath, ruleSets[reader - rows]));
    }
    if (reader >= 0) {
      return Stopped(
          QCoreApplication::translate("Batches",
                                      "%1 番目の %2 の出力 %3 は %4 番目のファイル %5 です "
                                      "(書き込むとそのファイルが失われます)")
              .arg(QString::number(row + 1), target.sourcePath, target.outputPath,
                   QString::number(reader + 1), targets[size_t(reader)].sourcePath));
    }
    const qsizetype writer = outputEntries.value(output.entry, -1);
    if (writer >= 0) {
      return Stopped(
          QCoreApplication::translate("Batches",
                                      "%1 番目の %2 と %3 番目の %4 は同じ出力 %5 に書き込みます "
                                      "(先の結果が失われます)")
              .arg(QString::number(writer + 1), targets[size_t(writer)].sourcePath,
                   QString::number(row + 1), target.sourcePath, target.outputPath));
    }
    outputEntries.insert(output.entry, row);
  }
  return std::nullopt;
}

}  // namespace morvelle::engine
