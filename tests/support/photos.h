#pragma once
#include <string>

#include "imaging/image.h"

// Path of one of the sample photographs that scikit-image ships (Debian
// package python3-skimage; public domain and CC0 pictures such as
// "astronaut.png", "chelsea.png", "coffee.png"). Throws when the package is
// missing, naming it.
std::string samplePhoto(const std::string& file);

// Decodes a still picture with the ffmpeg CLI, after the optional filter
// graph, into an RGB Image. The decoded pixels are kept in the test data
// directory under `name` so each variant is made once.
Image loadPhoto(const std::string& name, const std::string& source, const std::string& filter = "");
