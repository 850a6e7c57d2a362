#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/frame_source.h"

// The times a reading-ahead pass over a clip of `duration` asks for when
// asked for `times`: each followed by its partner (t + interval), where that
// lies within the clip.
std::vector<double> withPartners(const std::vector<double>& times, double duration, double interval);

// A frame source that, while reading ahead is on, also decodes the motion
// partner (t + interval) of every time it is asked for and remembers both
// answers. The motion measurement later asks for a pair at some of the same
// times; those come from memory instead of a seek back through the clip.
// Decoding is exact, so the answers are the ones a fresh request would give.
class PartnerFrames final : public FrameSource {
 public:
  PartnerFrames(FrameSource& source, double duration, double interval)
      : source_(source), duration_(duration), interval_(interval) {}

  Picture frameAt(double seconds) override;
  bool outOfTime() const override { return source_.outOfTime(); }
  void rest() override { source_.rest(); }

  // Reading ahead is for the candidate pass; afterwards only remembered
  // answers are reused.
  void stopReadingAhead() { readingAhead_ = false; }

  // Forgets every answer but those for the given times and their partners.
  void keepOnly(const std::vector<double>& times);

 private:
  // A remembered answer: the picture, or the failure's message.
  struct Answer {
    Picture picture;
    std::string failure;
  };
  Answer ask(double seconds);
  double partnerOf(double seconds) const { return seconds + interval_; }

  FrameSource& source_;
  double duration_;
  double interval_;
  bool readingAhead_ = true;
  std::map<double, Answer> answers_;
};
