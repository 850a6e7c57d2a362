#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The planned times split among `decoders` decoders by group of pictures:
// each run of consecutive times that share a group (as `groupOf` tells)
// goes whole to one decoder, runs dealt out in turn, each decoder's times
// kept in plan order. Empty when there is nothing to share: fewer than two
// runs, or a time whose group is not known.
std::vector<std::vector<double>> splitByGroup(const std::vector<double>& times,
                                              const std::function<std::optional<int64_t>(double)>& groupOf,
                                              int decoders);
