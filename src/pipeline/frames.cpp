#include "pipeline/frames.h"

#include "base/fail.h"
#include "base/frame_source.h"
#include "motion/measure_motion.h"
#include "pipeline/clip_summary.h"
#include "pipeline/frame_outputs.h"
#include "pipeline/output_directory.h"
#include "pipeline/partner_frames.h"
#include "pipeline/sampling.h"
#include "pipeline/selection.h"
#include "pipeline/stream_facts.h"
#include "video/clip.h"
#include "vision/vision.h"

namespace {

void dropUnkeptPictures(Selection& selection) {
  std::vector<bool> kept(selection.pool.size(), false);
  for (int64_t position : selection.kept) kept[static_cast<size_t>(position)] = true;
  for (size_t i = 0; i < kept.size(); ++i)
    if (!kept[i]) selection.pool[i].image.reset();
}

}  // namespace

Document analyseClip(const StreamFacts& facts, FrameSource& clipFrames, Vision& vision, const RunSettings& settings) {
  PartnerFrames source(clipFrames, facts.duration, kPairInterval);
  std::vector<FrameSample> candidates;
  try {
    candidates = sampleCandidates(source, vision, facts.duration);
  } catch (const Fail&) {
    // A clip that used up its reading time says so rather than claiming that
    // none of its frames decodes.
    if (source.outOfTime()) throw Fail(kOutOfTimeMessage);
    throw;
  }
  // Times skipped for want of time would make a partial result look whole.
  if (source.outOfTime()) throw Fail(kOutOfTimeMessage);
  source.stopReadingAhead();
  Selection selection = selectFrames(std::move(candidates), settings.count, vision);
  std::vector<double> times;
  for (int64_t position : selection.kept) times.push_back(selection.pool[static_cast<size_t>(position)].time);
  // From here on only the kept frames and their motion partners are needed.
  source.keepOnly(times);
  dropUnkeptPictures(selection);
  // The decoder, and the pictures just dropped, make room for the models of
  // the analyses.
  source.rest();
  const OutputDirectory outDir = createOutputDirectory(settings.outDir, settings.freshOutDir);
  ClipDigest digest = writeFrames(selection.pool, selection.kept, settings.size, outDir.path, vision);
  std::optional<std::string> motion = measureMotion(source, facts.duration, times);
  if (source.outOfTime()) throw Fail(kOutOfTimeMessage);
  return clipSummary(facts, digest, motion);
}

Document frames(const RunSettings& settings) {
  std::unique_ptr<Clip> clip = openClip(settings.video);
  StreamFacts facts = streamFacts(clip->info);
  std::unique_ptr<FrameSource> source = openFrameSource(std::move(clip));
  // The candidate pass's frames are decoded while the models are set up.
  source->expect(withPartners(sampleTimes(facts.duration), facts.duration, kPairInterval));
  std::unique_ptr<Vision> vision = makeVision();
  return analyseClip(facts, *source, *vision, settings);
}
