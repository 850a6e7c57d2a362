#pragma once
#include "base/image.h"

// The picture scaled down so that its longer side is longestSide pixels,
// aspect ratio kept (each side rounded to the nearest pixel, halves away from
// zero). A picture whose longer side is at most longestSide comes back as the
// very same object; it is never enlarged or copied. Null ("nothing") when a
// scaled side would be 0 or less, or the picture is null or malformed.
Picture resize(const Picture& picture, long longestSide);
