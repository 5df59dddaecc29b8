// The batches on several threads. Workers prepare files ahead (load, apply the rules or convert,
// encode into memory); the calling thread takes them in list order, shows their messages,
// writes them and stops where the single-threaded batch would stop.
#include <algorithm>
#include <exception>
#include <thread>

#include "engine/batches.h"
#include "engine/ordered_pipeline.h"
#include "engine/replace_file.h"
#include "services/file_identity.h"
#include "services/service_error.h"

namespace morvelle::engine {

namespace {

class BufferedSink : public MessageSink {
 public:
  QStringList messages;
  void ShowError(const QString& description) override { messages << description; }
};

struct Prepared {
  bool fatal = false;
  QStringList messages;
  std::function<void()> commit;  // writes the output; empty in a dry run
  FileReport report;
};

QString DescriptionOf(const std::exception& e) {
  if (const auto* service = dynamic_cast<const ServiceError*>(&e)) return service->description();
  return QString::fromUtf8(e.what());
}

// Sources prepared ahead of the one written next weigh at most this much together: a prepared
// file holds its text or its output until it is written, a few times its size, so a folder of
// large files is not all held at once, whatever the window of files.
constexpr qint64 kAheadBytes = qint64{256} << 20;

// Workers beyond the processors only take turns on them, and every one of them is woken at each
// file taken: a run never has more workers than processors, or than files, whatever -j asks.
int Workers(int threads, qsizetype files) {
  const int processors = int(std::max(1u, std::thread::hardware_concurrency()));
  return int(std::max<qsizetype>(1, std::min<qsizetype>({threads, processors, files})));
}

// Prepares one file on a worker: fills messages, fatal, commit and the report.
using Work = std::function<void(Prepared&)>;
using WorkMaker = std::function<Work()>;

// The run's outputs never collide with its sources (RefuseCollisions came first), so a file
// may be read whatever has been written before it. What the sink, a write or fileDone throws
// beyond ServiceError leaves the run through the pipeline's destructor, which joins the workers.
BatchResult RunInListOrder(const std::vector<BatchTarget>& list, int threads, qsizetype window,
                           const WorkMaker& makeWork, MessageSink& sink,
                           const std::function<void(const FileReport&)>& fileDone) {
  const qsizetype count = qsizetype(list.size());
  threads = Workers(threads, count);
  OrderedPipeline<Prepared> pipeline(
      count, threads, window > 0 ? window : 4 * qsizetype(threads),
      [&]() {
        return [&list, work = makeWork()](qsizetype i) {
          Prepared p;
          p.report = {i, list[size_t(i)], {}, false, false, {}};
          work(p);
          return p;
        };
      },
      kAheadBytes, [&list](qsizetype i) { return FileSize(list[size_t(i)].sourcePath); });

  BatchResult result;
  for (qsizetype i = 0; i < count; ++i) {
    Prepared p;
    try {
      p = pipeline.Take(i);
    } catch (const std::exception& e) {
      // A worker that could not be set up, or memory: the run ends at this file, as a failure.
      p.report = {i, list[size_t(i)], {}, false, false, {}};
      p.messages << DescriptionOf(e);
      p.fatal = true;
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
      // What was prepared beyond it is dropped unwritten.
      result.stopped = true;
      break;
    }
    if (p.report.written) ++result.written;
    if (fileDone) fileDone(p.report);
  }
  return result;
}

}  // namespace

BatchResult ReplaceAllParallel(const QStringList& rules, const TargetSource& targets,
                               const EditorBufferFactory& makeBuffer,
                               const TextServiceFactoryMaker& makeServices, MessageSink& sink,
                               const ParallelOptions& options) {
  const std::vector<BatchTarget> list = TargetsOf(targets);
  if (list.empty()) return {};
  if (!RefuseCollisions(list, sink, options.ruleSets)) return {0, 1, true};
  // One worker would only stage what the caller can write as it goes.
  if (Workers(options.threads, qsizetype(list.size())) <= 1) {
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
    return ReplaceListed(rules, list, *buffer, services, sink,
                         {{}, options.dryRun, options.fileDone, options.preview});
  }
  const bool dryRun = options.dryRun;
  auto makeWork = [&]() -> Work {
    auto buffer = std::shared_ptr<EditorBuffer>(makeBuffer());
    auto services = std::make_shared<TextServiceFactory>(makeServices());
    return [&rules, &options, dryRun, buffer, services](Prepared& p) {
      BufferedSink sink;
      try {
        p.commit = ReplaceFile(rules, p.report.target, *buffer, *services, sink,
                               dryRun ? Save::Check : Save::Stage, p.report, options.preview);
      } catch (const ServiceError& e) {
        sink.ShowError(e.description());
        p.fatal = true;
      }
      p.messages = std::move(sink.messages);
    };
  };
  return RunInListOrder(list, options.threads, options.window, makeWork, sink, options.fileDone);
}

BatchResult ConvertAllParallel(const TargetSource& targets, CharacterCode code,
                               const TextServiceFactoryMaker& makeServices, MessageSink& sink,
                               const ParallelOptions& options) {
  const std::vector<BatchTarget> list = TargetsOf(targets);
  if (list.empty()) return {};
  if (!RefuseCollisions(list, sink, options.ruleSets)) return {0, 1, true};
  // One worker would hold a whole output the caller can stream into place instead.
  if (Workers(options.threads, qsizetype(list.size())) <= 1) {
    std::unique_ptr<TextService> service;
    try {
      service = makeServices()();
    } catch (const std::exception& e) {
      sink.ShowError(DescriptionOf(e));
      return {0, 1, true};
    }
    ReplaceOptions single({}, false, options.fileDone);
    single.convert = options.convert;
    return ConvertListed(list, code, *service, sink, single);
  }
  auto makeWork = [&]() -> Work {
    auto services = std::make_shared<TextServiceFactory>(makeServices());
    auto service = std::make_shared<std::unique_ptr<TextService>>();
    return [code, convert = options.convert, services, service](Prepared& p) {
      try {
        if (!*service) *service = (*services)();
        p.commit = (*service)->StageConvert(p.report.target.sourcePath, p.report.target.outputPath,
                                            code, convert);
      } catch (const ServiceError& e) {
        p.messages << e.description();
        p.fatal = true;
      }
    };
  };
  return RunInListOrder(list, options.threads, options.window, makeWork, sink, options.fileDone);
}

}  // namespace morvelle::engine
