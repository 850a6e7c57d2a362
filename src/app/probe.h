#pragma once
#include <string>

#include "base/document.h"

// The capability report: what this build can do, with the running system's
// version text under "os".
Document probe();

// The distribution's PRETTY_NAME from an os-release text joined with the
// kernel release ("Debian GNU/Linux 12 (bookworm), Linux 6.1.0"). Either part
// may be empty; with both empty the text is "Linux".
std::string osVersionText(const std::string& osRelease, const std::string& kernelRelease);
