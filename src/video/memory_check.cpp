#include "video/memory_check.h"

#include <cstdlib>
#include <memory>
#include <new>

extern "C" {
#include <libavutil/error.h>
}

namespace {

// Enough for a few decoded pictures: a run that cannot get this much has no
// memory left to go on with.
constexpr size_t kProbeBytes = size_t{64} << 20;

}  // namespace

void throwIfMemoryIsShort(int status) {
  if (status != AVERROR(ENOMEM)) return;
  std::unique_ptr<void, decltype(&std::free)> probe(std::malloc(kProbeBytes), &std::free);
  if (!probe) throw std::bad_alloc();
}
