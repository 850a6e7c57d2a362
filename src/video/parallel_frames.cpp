#include "video/parallel_frames.h"

#include <malloc.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <numeric>
#include <thread>

#include "base/fail.h"
#include "video/decoded_frame_source.h"
#include "video/media_input.h"

namespace {

// Decoders at most, one a core: each more holds its own reference frames.
constexpr int kMaxDecoders = 2;
// Threads of the primary source's decoder when it decodes alone.
constexpr int kPrimaryThreads = 2;
// Larger pictures are decoded by one decoder (threaded within the stream),
// so that two sets of reference frames do not raise the peak memory.
constexpr int64_t kMaxSharedArea = 2560 * 1440;

// Frames of one clip. Planned times are decoded ahead, on threads of their
// own, while the caller works on the answers already given. When they span
// several groups of pictures, the groups are shared out: the primary source
// decodes one share single-threaded, and each other share has a twin of it,
// with its own reader of the file and a single-threaded decoder, all in
// parallel. Otherwise (one group, no index, large pictures) the primary
// source decodes them all with its decoder running on several threads within
// the stream. Any other time is decoded on request by the primary source,
// once the workers are done. Every decoder decodes exactly, so who decoded a
// time does not change its answer.
class ParallelFrameSource final : public FrameSource {
 public:
  explicit ParallelFrameSource(std::unique_ptr<DecodedFrameSource> primary) : primary_(std::move(primary)) {}
  ~ParallelFrameSource() override { stopWorkers(); }
  Picture frameAt(double seconds) override;
  bool outOfTime() const override { return primary_->outOfTime(); }
  void rest() override;
  void expect(const std::vector<double>& times) override;

 private:
  // The answer for one planned time, once its decoder has given it; a time
  // whose decoder could not be set up is answered by the primary source.
  struct Slot {
    enum class State { Pending, Done, Abandoned } state = State::Pending;
    Picture picture;
    std::exception_ptr failure;
  };
  void work(const std::vector<double>& times, DecodedFrameSource* borrowed);
  void finish(double seconds, Slot answer);
  void stopWorkers();
  void waitForWorkers();

  std::unique_ptr<DecodedFrameSource> primary_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::map<double, Slot> slots_;
  bool stopping_ = false;
  // While there are workers, one of them decodes with the primary source.
  std::vector<std::thread> workers_;
};

Picture ParallelFrameSource::frameAt(double seconds) {
  {
    std::unique_lock lock(mutex_);
    if (auto slot = slots_.find(seconds); slot != slots_.end()) {
      answered_.wait(lock, [&] { return slot->second.state != Slot::State::Pending; });
      Slot answer = std::move(slot->second);
      slots_.erase(slot);
      if (answer.state == Slot::State::Done) {
        if (answer.failure) std::rethrow_exception(answer.failure);
        return answer.picture;
      }
    }
  }
  if (!workers_.empty()) waitForWorkers();
  return primary_->frameAt(seconds);
}

void ParallelFrameSource::expect(const std::vector<double>& times) {
  if (!workers_.empty() || times.empty()) return;
  const int decoders = std::min<int>(kMaxDecoders, static_cast<int>(std::thread::hardware_concurrency()));
  if (decoders < 2) return;
  std::vector<std::vector<double>> parts;
  if (primary_->pictureArea() <= kMaxSharedArea)
    parts = splitByGroup(times, [&](double t) { return primary_->keyFrameBefore(t); }, decoders);
  // The primary source takes the first part (the whole plan when it is not
  // shared, with its threaded decoder), a twin of it each other part.
  if (parts.empty())
    parts = {times};
  else
    primary_->useDecoderThreads(1);
  {
    std::lock_guard lock(mutex_);
    for (const auto& part : parts)
      for (double t : part) slots_.emplace(t, Slot());
  }
  for (size_t k = 0; k < parts.size(); ++k) {
    DecodedFrameSource* lent = k == 0 ? primary_.get() : nullptr;
    workers_.emplace_back([this, part = parts[k], lent] { work(part, lent); });
  }
}

void ParallelFrameSource::work(const std::vector<double>& times, DecodedFrameSource* borrowed) {
  std::unique_ptr<DecodedFrameSource> own;
  std::exception_ptr setUp;
  if (!borrowed) {
    try {
      own = primary_->twin();
    } catch (const Fail&) {
      // Left to the primary source, which reads the file already.
    } catch (...) {
      setUp = std::current_exception();
    }
  }
  DecodedFrameSource* source = borrowed ? borrowed : own.get();
  for (double t : times) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    Slot answer;
    answer.state = source || setUp ? Slot::State::Done : Slot::State::Abandoned;
    answer.failure = setUp;
    if (source) {
      try {
        answer.picture = source->frameAt(t);
      } catch (...) {
        answer.failure = std::current_exception();
      }
    }
    finish(t, std::move(answer));
  }
  // The decoder's reference frames and buffers, freed on this thread, go
  // back to the system rather than staying with the thread's heap.
  own.reset();
  malloc_trim(0);
}

void ParallelFrameSource::finish(double seconds, Slot answer) {
  std::lock_guard lock(mutex_);
  if (auto slot = slots_.find(seconds); slot != slots_.end()) slot->second = std::move(answer);
  answered_.notify_all();
}

void ParallelFrameSource::stopWorkers() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  waitForWorkers();
  std::lock_guard lock(mutex_);
  slots_.clear();
  stopping_ = false;
}

// Until the workers have gone through their times (or stopped), after
// which the primary source is the caller's again.
void ParallelFrameSource::waitForWorkers() {
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  primary_->useDecoderThreads(kPrimaryThreads);
}

void ParallelFrameSource::rest() {
  stopWorkers();
  primary_->rest();
}

}  // namespace

std::vector<std::vector<double>> splitByGroup(const std::vector<double>& times,
                                              const std::function<std::optional<double>(double)>& keyFrameBefore,
                                              int decoders) {
  struct Run {
    double key;
    std::vector<double> times;
  };
  std::vector<Run> runs;
  for (double t : times) {
    const std::optional<double> key = keyFrameBefore(t);
    if (!key) return {};
    if (runs.empty() || *key != runs.back().key) runs.push_back({*key, {}});
    runs.back().times.push_back(t);
  }
  if (runs.size() < 2 || decoders < 2) return {};
  // The longest runs are dealt first, each to the least busy decoder; then
  // every decoder takes its runs in plan order.
  auto workOf = [](const Run& run) { return std::max(0.0, run.times.back() - run.key); };
  std::vector<size_t> longestFirst(runs.size());
  std::iota(longestFirst.begin(), longestFirst.end(), 0);
  std::stable_sort(longestFirst.begin(), longestFirst.end(),
                   [&](size_t a, size_t b) { return workOf(runs[a]) > workOf(runs[b]); });
  const size_t count = std::min(runs.size(), static_cast<size_t>(decoders));
  std::vector<double> work(count, 0.0);
  std::vector<size_t> decoderOf(runs.size());
  for (size_t k : longestFirst) {
    decoderOf[k] = std::min_element(work.begin(), work.end()) - work.begin();
    work[decoderOf[k]] += workOf(runs[k]);
  }
  std::vector<std::vector<double>> parts(count);
  for (size_t k = 0; k < runs.size(); ++k)
    parts[decoderOf[k]].insert(parts[decoderOf[k]].end(), runs[k].times.begin(), runs[k].times.end());
  return parts;
}

std::unique_ptr<FrameSource> openFrameSource(std::unique_ptr<Clip> clip) {
  if (!clip || !clip->input) throw Fail("this file has no video track");
  return std::make_unique<ParallelFrameSource>(
      std::make_unique<DecodedFrameSource>(std::move(clip->input), clip->info, kPrimaryThreads));
}
