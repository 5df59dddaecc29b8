// The batches on several threads. Workers prepare files ahead (load, rules, encode into memory
// for a replacement; a conversion into a staged file beside its output); the calling thread
// takes them in list order, shows their messages, writes them and stops where the
// single-threaded batch would stop.
#include <unistd.h>

#include <QDir>
#include <QHash>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "engine/batches.h"
#include "engine/replace_file.h"
#include "services/file_names.h"
#include "services/service_error.h"

namespace morvelle::engine {

namespace {

class BufferedSink : public MessageSink {
 public:
  QStringList messages;
  void ShowError(const QString& description) override { messages << description; }
};

struct Prepared {
  bool done = false;
  bool fatal = false;
  QStringList messages;
  std::function<void()> commit;  // writes the output; empty in a dry run
  QString stagedPath;            // a conversion's file to remove if it is never committed
  FileReport report;
};

QString DescriptionOf(const std::exception& e) {
  if (const auto* service = dynamic_cast<const ServiceError*>(&e)) return service->description();
  return QString::fromUtf8(e.what());
}

// Prepares one file on a worker: fills messages, fatal, commit and the report.
using Work = std::function<void(Prepared&)>;
using WorkMaker = std::function<Work()>;

// For each row, the last earlier row whose output is its source (-1 for none): that row's write
// must land before this one is read.
std::vector<qsizetype> WritersBefore(const std::vector<BatchTarget>& list) {
  std::vector<qsizetype> writer(list.size(), -1);
  QHash<QString, qsizetype> lastWriter;
  for (size_t i = 0; i < list.size(); ++i) {
    const auto found = lastWriter.constFind(QDir::cleanPath(list[i].sourcePath));
    if (found != lastWriter.cend()) writer[i] = *found;
    lastWriter.insert(QDir::cleanPath(list[i].outputPath), qsizetype(i));
  }
  return writer;
}

BatchResult RunInListOrder(const TargetSource& targets, int threads, qsizetype window,
                           const WorkMaker& makeWork, MessageSink& sink,
                           const std::function<void(const FileReport&)>& fileDone) {
  const qsizetype count = targets.TargetCount();
  std::vector<BatchTarget> list;
  list.reserve(size_t(count));
  for (qsizetype i = 0; i < count; ++i) list.push_back(targets.TargetAt(i));
  const std::vector<qsizetype> writer = WritersBefore(list);
  if (window <= 0) window = 4 * qsizetype(threads);

  std::vector<Prepared> prepared(static_cast<size_t>(count));
  std::mutex mutex;
  std::condition_variable workerWakes;
  std::condition_variable fileReady;
  qsizetype next = 0;       // next row to hand to a worker
  qsizetype committed = 0;  // rows taken by the calling thread
  bool stop = false;

  auto workerLoop = [&] {
    Work work;
    try {
      work = makeWork();
    } catch (const std::exception& e) {
      // Every row this worker takes still comes back, failed, so the run ends in list order.
      const QString description = DescriptionOf(e);
      work = [description](Prepared& p) {
        p.messages << description;
        p.fatal = true;
      };
    }
    for (;;) {
      qsizetype i;
      {
        std::unique_lock lock(mutex);
        workerWakes.wait(lock, [&] { return stop || next >= count || next < committed + window; });
        if (stop || next >= count) return;
        i = next++;
        const qsizetype w = writer[size_t(i)];
        if (w >= 0) {
          workerWakes.wait(lock, [&] { return stop || committed > w; });
          if (stop) return;
        }
      }
      Prepared p;
      p.report = {i, list[size_t(i)], {}, false, false};
      try {
        work(p);
      } catch (const std::exception& e) {
        // Anything else a worker meets (memory) ends the run at this file, as a failure.
        p.messages << DescriptionOf(e);
        p.fatal = true;
      }
      {
        std::lock_guard lock(mutex);
        p.done = true;
        prepared[size_t(i)] = std::move(p);
      }
      fileReady.notify_all();
    }
  };

  std::vector<std::thread> workers;
  for (int t = 0; t < threads && t < count; ++t) workers.emplace_back(workerLoop);

  BatchResult result;
  qsizetype i = 0;
  for (; i < count; ++i) {
    Prepared p;
    {
      std::unique_lock lock(mutex);
      fileReady.wait(lock, [&] { return prepared[size_t(i)].done; });
      p = std::move(prepared[size_t(i)]);
      prepared[size_t(i)] = Prepared{};
    }
    for (const QString& message : p.messages) sink.ShowError(message);
    result.failures += p.messages.size();
    if (!p.fatal && p.commit) {
      try {
        p.commit();
        p.report.written = true;
      } catch (const ServiceError& e) {
        sink.ShowError(e.description());
        ++result.failures;
        p.fatal = true;
      }
    }
    if (p.fatal) {
      if (!p.stagedPath.isEmpty()) ::unlink(EncodeFileName(p.stagedPath).constData());
      result.stopped = true;
      break;
    }
    if (p.report.written) ++result.written;
    if (fileDone) fileDone(p.report);
    {
      std::lock_guard lock(mutex);
      committed = i + 1;
    }
    workerWakes.notify_all();
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  workerWakes.notify_all();
  for (std::thread& worker : workers) worker.join();
  // What was prepared beyond a fatal failure is discarded, so nothing after it is written.
  for (Prepared& p : prepared) {
    if (p.done && !p.stagedPath.isEmpty()) ::unlink(EncodeFileName(p.stagedPath).constData());
  }
  return result;
}

// A name beside `output` that no other row of this run uses.
QString StagedPathFor(const QString& output, qsizetype index) {
  const qsizetype slash = output.lastIndexOf(u'/');
  QString name = output.mid(slash + 1);
  if (name.size() > 160) name.truncate(160);  // within NAME_MAX with the suffix
  return output.left(slash + 1) + u'.' + name +
         QStringLiteral(".staged-%1-%2").arg(qint64(::getpid())).arg(index);
}

}  // namespace

BatchResult ReplaceAllParallel(const QStringList& rules, const TargetSource& targets,
                               const EditorBufferFactory& makeBuffer,
                               const TextServiceFactoryMaker& makeServices, MessageSink& sink,
                               const ParallelOptions& options) {
  if (options.threads <= 1) {
    if (targets.TargetCount() == 0) return {};
    std::unique_ptr<EditorBuffer> buffer;
    TextServiceFactory services;
    try {
      buffer = makeBuffer();
      services = makeServices();
    } catch (const std::exception& e) {
      // As the workers report it: the first row fails and ends the run.
      sink.ShowError(DescriptionOf(e));
      return {0, 1, true};
    }
    return ReplaceAll(rules, targets, *buffer, services, sink,
                      {{}, options.dryRun, options.fileDone});
  }
  const bool dryRun = options.dryRun;
  auto makeWork = [&]() -> Work {
    auto buffer = std::shared_ptr<EditorBuffer>(makeBuffer());
    auto services = std::make_shared<TextServiceFactory>(makeServices());
    return [&rules, dryRun, buffer, services](Prepared& p) {
      BufferedSink sink;
      try {
        p.commit = ReplaceFile(rules, p.report.target, *buffer, *services, sink,
                               dryRun ? Save::None : Save::Stage, p.report);
      } catch (const ServiceError& e) {
        sink.ShowError(e.description());
        p.fatal = true;
      }
      p.messages = std::move(sink.messages);
    };
  };
  return RunInListOrder(targets, options.threads, options.window, makeWork, sink, options.fileDone);
}

BatchResult ConvertAllParallel(const TargetSource& targets, int code,
                               const TextServiceFactoryMaker& makeServices, MessageSink& sink,
                               const ParallelOptions& options) {
  if (options.threads <= 1) {
    if (targets.TargetCount() == 0) return {};
    std::unique_ptr<TextService> service;
    try {
      service = makeServices()();
    } catch (const std::exception& e) {
      sink.ShowError(DescriptionOf(e));
      return {0, 1, true};
    }
    return ConvertAll(targets, code, *service, sink, {{}, false, options.fileDone});
  }
  auto makeWork = [&]() -> Work {
    auto services = std::make_shared<TextServiceFactory>(makeServices());
    auto service = std::make_shared<std::unique_ptr<TextService>>();
    return [code, services, service](Prepared& p) {
      const QString output = p.report.target.outputPath;
      const QString staged = StagedPathFor(output, p.report.index);
      try {
        if (!*service) *service = (*services)();
        (*service)->ConvertFile(p.report.target.sourcePath, staged, code, 0);
      } catch (const ServiceError& e) {
        // The user reads about the output, never about the staged name.
        QString description = e.description();
        p.messages << description.replace(staged, output);
        p.fatal = true;
        return;
      }
      p.stagedPath = staged;
      p.commit = [staged, output] {
        const QByteArray from = EncodeFileName(staged);
        if (::rename(from.constData(), EncodeFileName(output).constData()) != 0) {
          const int error = errno;
          ::unlink(from.constData());
          throw ServiceError(QStringLiteral("ファイルを書き込めません: %1 (%2)")
                                 .arg(output, QString::fromLocal8Bit(std::strerror(error))));
        }
      };
    };
  };
  return RunInListOrder(targets, options.threads, options.window, makeWork, sink, options.fileDone);
}

}  // namespace morvelle::engine
