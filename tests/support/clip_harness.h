#pragma once
#include <string>

// Opens a clip the way a frames run does and decodes its candidate times,
// then a few times backwards and beyond the end. Every failure must come out
// as a Fail; anything else (a crash, a hang, another exception) is a fault.
// Returns the number of frames decoded.
int exerciseClip(const std::string& path);
