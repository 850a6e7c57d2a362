#pragma once
#include <cstdint>
#include <vector>

#include "base/image.h"

// Sharpness of a picture: the root mean square of the four-neighbour
// Laplacian over the interior of its 160 x 90 grey rendering. 0.0 for a flat
// picture and when the rendering yields nothing; never above 1020.
double laplacianEnergy(const Image& picture);

// The same measure over a 160 x 90 grey buffer; 0.0 for a buffer of any
// other size.
double laplacianEnergyOfGrey(const std::vector<uint8_t>& grey);
