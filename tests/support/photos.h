#pragma once
#include <string>

#include "base/image.h"

// Path of one of the sample photographs that scikit-image ships (Debian
// package python3-skimage: "astronaut.png", "chelsea.png", "coffee.png" ...).
// Throws when the package is missing, naming it.
std::string samplePhoto(const std::string& file);

// Path of OpenCV's sample street footage, vtest.avi (Debian package
// opencv-doc): a fixed camera over a campus road with walkers. Throws when
// the package is missing, naming it.
std::string streetFootage();

// Path of a real group photograph, JACoW's 2019 team meeting (1317 x 342,
// 39 people in three rows), which scripts/fetch-test-photos puts in
// tests/photos/. Throws when it is missing, naming the script.
std::string groupPhoto();

// The first picture that `ffmpeg <inputArgs>` gives (inputs and filters), as
// an RGB Image; at most 720 × 720. Kept in the test data directory under
// `name`, made once.
Image loadPhoto(const std::string& name, const std::string& inputArgs);
