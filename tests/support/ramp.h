#pragma once
#include <string>

#include "base/image.h"

// A filter chain that paints frame n of a clip one flat grey, luma 20 + 2n.
inline const std::string kGreyRamp = "format=yuv420p,geq=lum='20+2*N':cb=128:cr=128";

// The frame number of a picture of such a clip, read from its centre.
int rampFrameNumber(const Picture& picture);
