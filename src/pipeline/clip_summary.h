#pragma once
#include <optional>
#include <string>

#include "base/document.h"
#include "pipeline/frame_outputs.h"
#include "pipeline/stream_facts.h"

// The frames document: "ok", "frames" (one record per written frame),
// "facts", "vision" and "motion" (a phrase, or null when no motion could be
// measured). The only place where a run's findings become JSON.
Document clipSummary(const StreamFacts& facts, const ClipDigest& digest, const std::optional<std::string>& motion);
