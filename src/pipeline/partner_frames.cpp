#include "pipeline/partner_frames.h"

#include "base/fail.h"

PartnerFrames::Answer PartnerFrames::ask(double seconds) {
  auto known = answers_.find(seconds);
  if (known != answers_.end()) return known->second;
  Answer answer;
  try {
    answer.picture = source_.frameAt(seconds);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const Fail& fail) {
    answer.failure = fail.message;
  } catch (const std::exception& error) {
    answer.failure = error.what();
  }
  // Only answers of the reading-ahead pass are kept: the motion pass asks
  // each time once.
  if (readingAhead_) answers_.emplace(seconds, answer);
  return answer;
}

Picture PartnerFrames::frameAt(double seconds) {
  Answer answer = ask(seconds);
  if (readingAhead_ && partnerOf(seconds) < duration_) ask(partnerOf(seconds));
  if (!answer.picture) throw Fail(answer.failure.empty() ? "no frame at this time" : answer.failure);
  return answer.picture;
}

std::vector<double> withPartners(const std::vector<double>& times, double duration, double interval) {
  std::vector<double> asked;
  for (double t : times) {
    asked.push_back(t);
    if (t + interval < duration) asked.push_back(t + interval);
  }
  return asked;
}

void PartnerFrames::keepOnly(const std::vector<double>& times) {
  std::map<double, Answer> kept;
  for (double t : times)
    for (double needed : {t, partnerOf(t)})
      if (auto known = answers_.find(needed); known != answers_.end()) kept.insert(*known);
  answers_ = std::move(kept);
}
