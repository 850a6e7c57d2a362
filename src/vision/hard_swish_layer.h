#pragma once

// Hard-swish, x times (x + 3) clipped to 0..6, over 6, element by element,
// as a layer of stillpick's own. OpenCV 4.6 has a HardSwish layer, but fuses
// it into the convolution before it, where it is applied one value at a
// time: the text detector's convolutions then took about half again as
// long. OpenCV fuses only its own activation layers, so this one runs as a
// vectorised pass of its own. One input, any shape; the output has its
// shape.
inline constexpr const char* kHardSwishLayer = "StillpickHardSwish";

// Registers the layer with OpenCV's DNN module, once in a process; later
// calls do nothing. Networks holding such nodes load only after it.
void registerHardSwishLayer();
