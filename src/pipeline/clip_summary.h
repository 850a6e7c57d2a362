#pragma once
#include <optional>
#include <string>

#include "app/document.h"
#include "pipeline/frame_outputs.h"
#include "pipeline/stream_facts.h"

// The frames document: "ok", "frames", "facts", "vision" and "motion" (a
// phrase, or null when no motion could be measured).
Document clipSummary(const StreamFacts& facts, const ClipDigest& digest, const std::optional<std::string>& motion);
