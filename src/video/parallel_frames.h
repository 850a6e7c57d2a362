#pragma once
#include <functional>
#include <optional>
#include <vector>

// The planned times split among `decoders` decoders by group of pictures.
// `keyFrameBefore` tells the time of the key frame that starts the group of
// a time. Each run of consecutive times in one group goes whole to one
// decoder. A run's work is the time from its key frame to its last time (its
// frames to decode); the runs are dealt longest first, each to the decoder
// with the least work so far (the first of them on a tie). Each decoder's
// times stay in plan order. Empty when
// there is nothing to share: fewer than two runs, or a time whose group is
// not known.
std::vector<std::vector<double>> splitByGroup(const std::vector<double>& times,
                                              const std::function<std::optional<double>(double)>& keyFrameBefore,
                                              int decoders);
