// Times each stage of one frames run through the library, with the same
// settings as the command, and prints one line per stage.
// Usage: stillpick_stages CLIP [COUNT]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/emit.h"
#include "pipeline/output_directory.h"
#include "motion/measure_motion.h"
#include "pipeline/clip_summary.h"
#include "pipeline/frame_outputs.h"
#include "pipeline/partner_frames.h"
#include "pipeline/sampling.h"
#include "pipeline/selection.h"
#include "pipeline/stream_facts.h"
#include "video/clip.h"
#include "base/frame_source.h"
#include "vision/vision.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Adds up the time spent inside each kind of request.
struct Timed {
  double seconds = 0;
  int calls = 0;
  template <typename F>
  auto operator()(F f) {
    auto start = Clock::now();
    struct Done {
      Timed& t;
      Clock::time_point start;
      ~Done() { t.seconds += secondsSince(start), ++t.calls; }
    } done{*this, start};
    return f();
  }
};

class TimedSource : public FrameSource {
 public:
  explicit TimedSource(FrameSource& inner) : inner_(inner) {}
  Picture frameAt(double seconds) override { return decode([&] { return inner_.frameAt(seconds); }); }
  bool outOfTime() const override { return inner_.outOfTime(); }
  void rest() override { inner_.rest(); }
  void expect(const std::vector<double>& times) override { inner_.expect(times); }
  Timed decode;

 private:
  FrameSource& inner_;
};

class TimedVision : public Vision {
 public:
  explicit TimedVision(Vision& inner) : inner_(inner) {}
  std::vector<Classification> classifications(const Image& p) override {
    return objects([&] { return inner_.classifications(p); });
  }
  std::vector<TextObservation> textObservations(const Image& p) override {
    return text([&] { return inner_.textObservations(p); });
  }
  std::vector<HumanObservation> humans(const Image& p) override { return objects([&] { return inner_.humans(p); }); }
  FeaturePrint featurePrint(const Image& p) override { return prints([&] { return inner_.featurePrint(p); }); }
  double distance(const FeaturePrint& a, const FeaturePrint& b) override { return inner_.distance(a, b); }
  Timed objects, text, prints;

 private:
  Vision& inner_;
};

void line(const char* stage, double seconds, int calls = -1) {
  if (calls >= 0)
    std::printf("%-22s %8.1f ms  (%d calls, %.1f ms each)\n", stage, seconds * 1e3, calls,
                calls ? seconds * 1e3 / calls : 0.0);
  else
    std::printf("%-22s %8.1f ms\n", stage, seconds * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLIP [COUNT]\n", argv[0]);
    return 2;
  }
  const int64_t count = argc > 2 ? std::stoll(argv[2]) : 6;
  auto whole = Clock::now();
  auto start = Clock::now();
  auto clip = openClip(argv[1]);
  StreamFacts facts = streamFacts(clip->info);
  std::unique_ptr<FrameSource> source = openFrameSource(std::move(clip));
  double open = secondsSince(start);

  // As the command does: the candidate frames are announced, and decoded
  // while the models are set up.
  TimedSource timedSource(*source);
  timedSource.expect(withPartners(sampleTimes(facts.duration), facts.duration, kPairInterval));
  // The models load on first use, inside the first print and the first
  // text reading.
  std::unique_ptr<Vision> models = makeVision();
  PartnerFrames partners(timedSource, facts.duration, kPairInterval);
  TimedVision vision(*models);

  start = Clock::now();
  std::vector<FrameSample> candidates = sampleCandidates(partners, vision, facts.duration);
  double sampling = secondsSince(start);
  Timed candidateDecode = timedSource.decode;

  start = Clock::now();
  partners.stopReadingAhead();
  partners.rest();
  Selection selection = selectFrames(std::move(candidates), count, vision);
  double selecting = secondsSince(start);

  std::vector<double> times;
  for (int64_t k : selection.kept) times.push_back(selection.pool[static_cast<size_t>(k)].time);
  partners.keepOnly(times);
  const OutputDirectory outDir = createOutputDirectory(freshOutputDirectory(std::nullopt), true);
  start = Clock::now();
  ClipDigest digest = writeFrames(selection.pool, selection.kept, 512, outDir.path, vision);
  double writing = secondsSince(start);

  start = Clock::now();
  timedSource.decode = Timed{};
  std::optional<std::string> motion = measureMotion(partners, facts.duration, times);
  double moving = secondsSince(start);
  Document document = clipSummary(facts, digest, motion);
  double total = secondsSince(whole);

  std::printf("clip %s: %.2f s, %lldx%lld, %zu candidates, %zu kept, motion: %s\n", argv[1], facts.duration,
              static_cast<long long>(facts.width), static_cast<long long>(facts.height), selection.pool.size(),
              selection.kept.size(), motion ? motion->c_str() : "null");
  line("open", open);
  line("candidates (decode)", candidateDecode.seconds, candidateDecode.calls);
  line("prints", vision.prints.seconds, vision.prints.calls);
  line("measures", sampling - candidateDecode.seconds - vision.prints.seconds);
  line("selection", selecting);
  line("writing (scale+jpeg)", writing - vision.objects.seconds - vision.text.seconds);
  line("labels/people", vision.objects.seconds, vision.objects.calls);
  line("text", vision.text.seconds, vision.text.calls);
  line("motion", moving, timedSource.decode.calls);
  line("total", total);
  std::filesystem::remove_all(outDir.path);
  return encodeJson(document) ? 0 : 1;
}
