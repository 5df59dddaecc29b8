#pragma once
// Items 0 … count-1 are prepared by worker threads, at most `window` ahead of the one the
// caller takes next, and taken by the caller strictly in order. Items may also weigh (a file's
// size): those prepared and not yet taken weigh at most `budget` together, but the one the
// caller takes next always goes ahead, so a few large files are not all held at once.
// Whatever the caller meets while it takes and uses them (an exception from a message, a
// write, a callback), the destructor stops the workers and joins them: no path out of a run
// leaves a thread running.

#include <QtGlobal>
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <variant>
#include <vector>

namespace morvelle::engine {

template <typename T>
class OrderedPipeline {
 public:
  // Prepares one item on the worker that made it.
  using Prepare = std::function<T(qsizetype index)>;
  // Runs once on each worker, before its first item; what it throws comes back from Take for
  // every item that worker would have prepared.
  using MakePrepare = std::function<Prepare()>;
  // An item's weight, asked on the worker before it prepares the item; must not throw.
  using Weigh = std::function<qint64(qsizetype index)>;

  OrderedPipeline(qsizetype count, int threads, qsizetype window, MakePrepare makePrepare,
                  qint64 budget = 0, Weigh weigh = {})
      : count_(count),
        window_(window > 0 ? window : 1),
        budget_(budget),
        weigh_(std::move(weigh)),
        items_(size_t(count)),
        weights_(size_t(count)) {
    for (int t = 0; t < std::max(threads, 1) && t < count; ++t) {
      workers_.emplace_back([this, makePrepare](std::stop_token stop) { Work(stop, makePrepare); });
    }
  }
  ~OrderedPipeline() {
    for (std::jthread& worker : workers_) worker.request_stop();
    // jthread's destructor joins; the request above wakes every wait below first.
  }
  OrderedPipeline(const OrderedPipeline&) = delete;
  OrderedPipeline& operator=(const OrderedPipeline&) = delete;

  // Item `index`, once it is ready; rethrows what preparing it threw. Call in order 0, 1, 2 …
  T Take(qsizetype index) {
    Slot slot;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [&] { return items_[size_t(index)].has_value(); });
      slot = std::move(*items_[size_t(index)]);
      items_[size_t(index)].reset();
      taken_ = index + 1;
      held_ -= weights_[size_t(index)];
    }
    wanted_.notify_all();
    if (std::holds_alternative<std::exception_ptr>(slot)) {
      std::rethrow_exception(std::get<std::exception_ptr>(slot));
    }
    return std::move(std::get<T>(slot));
  }

 private:
  using Slot = std::variant<T, std::exception_ptr>;

  void Work(std::stop_token stop, const MakePrepare& makePrepare) {
    Prepare prepare;
    std::exception_ptr setUpFailed;
    try {
      prepare = makePrepare();
    } catch (...) {
      setUpFailed = std::current_exception();
    }
    for (;;) {
      qsizetype index;
      {
        std::unique_lock lock(mutex_);
        if (!wanted_.wait(lock, stop,
                          [&] { return next_ >= count_ || next_ < taken_ + window_; }) ||
            next_ >= count_) {
          return;
        }
        index = next_++;
      }
      if (weigh_ && budget_ > 0) {
        const qint64 weight = weigh_(index);
        std::unique_lock lock(mutex_);
        if (!wanted_.wait(lock, stop,
                          [&] { return index == taken_ || held_ + weight <= budget_; })) {
          return;
        }
        held_ += weight;
        weights_[size_t(index)] = weight;
      }
      Slot slot;
      try {
        if (setUpFailed) std::rethrow_exception(setUpFailed);
        slot = prepare(index);
      } catch (...) {
        slot = std::current_exception();
      }
      {
        std::lock_guard lock(mutex_);
        items_[size_t(index)] = std::move(slot);
      }
      ready_.notify_all();
    }
  }

  const qsizetype count_;
  const qsizetype window_;
  const qint64 budget_;  // 0: items weigh nothing
  const Weigh weigh_;
  std::mutex mutex_;
  std::condition_variable_any wanted_;  // a worker may take the next item
  std::condition_variable ready_;       // an item is ready for the caller
  std::vector<std::optional<Slot>> items_;
  std::vector<qint64> weights_;        // of each item while it is held
  qint64 held_ = 0;                    // weight of the items begun and not yet taken
  qsizetype next_ = 0;                 // the next item a worker takes
  qsizetype taken_ = 0;                // items the caller has taken
  std::vector<std::jthread> workers_;  // last: destroyed, and so joined, first
};

}  // namespace morvelle::engine
