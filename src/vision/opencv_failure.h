#pragma once
#include <opencv2/core.hpp>
#include <string>

// An OpenCV error as stillpick's own: running out of memory stays that
// (std::bad_alloc, which ends the run), anything else becomes a Fail
// "WHAT failed: reason".
[[noreturn]] void rethrowOpenCvError(const cv::Exception& error, const std::string& what);
