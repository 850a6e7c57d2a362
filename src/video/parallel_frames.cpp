#include "video/parallel_frames.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "base/fail.h"
#include "video/decoded_frame_source.h"
#include "video/media_input.h"

namespace {

// Decoders at most, one a core: each more holds its own reference frames.
constexpr int kMaxDecoders = 2;
// Larger pictures are decoded by one decoder (threaded within the stream),
// so that two sets of reference frames do not raise the peak memory.
constexpr int64_t kMaxSharedArea = 2560 * 1440;

// Frames of one clip. Planned times are decoded ahead by single-threaded
// decoders of their own, each over its own reader of the file and its own
// groups of pictures, in parallel; any other time is decoded on request by
// the primary source, whose decoder runs on several threads within the
// stream. Every decoder decodes exactly, so who decoded a time does not
// change its answer.
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
  void work(const std::vector<double>& times);
  void finish(double seconds, Slot answer);
  void stopWorkers();

  std::unique_ptr<DecodedFrameSource> primary_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::map<double, Slot> slots_;
  bool stopping_ = false;
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
  return primary_->frameAt(seconds);
}

void ParallelFrameSource::expect(const std::vector<double>& times) {
  if (!workers_.empty() || primary_->pictureArea() > kMaxSharedArea) return;
  const int decoders = std::min<int>(kMaxDecoders, static_cast<int>(std::thread::hardware_concurrency()));
  if (decoders < 2) return;
  const auto parts = splitByGroup(times, [&](double t) { return primary_->groupOf(t); }, decoders);
  {
    std::lock_guard lock(mutex_);
    for (const auto& part : parts)
      for (double t : part) slots_.emplace(t, Slot());
  }
  for (const auto& part : parts) workers_.emplace_back([this, part] { work(part); });
}

void ParallelFrameSource::work(const std::vector<double>& times) {
  std::unique_ptr<DecodedFrameSource> source;
  std::exception_ptr setUp;
  try {
    source = primary_->twin();
  } catch (const Fail&) {
    // Left to the primary source, which reads the file already.
  } catch (...) {
    setUp = std::current_exception();
  }
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
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  std::lock_guard lock(mutex_);
  slots_.clear();
  stopping_ = false;
}

void ParallelFrameSource::rest() {
  stopWorkers();
  primary_->rest();
}

}  // namespace

std::vector<std::vector<double>> splitByGroup(const std::vector<double>& times,
                                              const std::function<std::optional<int64_t>(double)>& groupOf,
                                              int decoders) {
  std::vector<std::vector<double>> runs;
  std::optional<int64_t> previous;
  for (double t : times) {
    const std::optional<int64_t> group = groupOf(t);
    if (!group) return {};
    if (runs.empty() || group != previous) runs.emplace_back();
    runs.back().push_back(t);
    previous = group;
  }
  if (runs.size() < 2 || decoders < 2) return {};
  std::vector<std::vector<double>> parts(std::min(runs.size(), static_cast<size_t>(decoders)));
  for (size_t k = 0; k < runs.size(); ++k) parts[k % parts.size()].insert(parts[k % parts.size()].end(),
                                                                          runs[k].begin(), runs[k].end());
  return parts;
}

std::unique_ptr<FrameSource> openFrameSource(std::unique_ptr<Clip> clip) {
  if (!clip || !clip->input) throw Fail("this file has no video track");
  return std::make_unique<ParallelFrameSource>(
      std::make_unique<DecodedFrameSource>(std::move(clip->input), clip->info, 2));
}
