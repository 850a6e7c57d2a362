#include "vision/opencv_failure.h"

#include <new>

#include "base/fail.h"

void rethrowOpenCvError(const cv::Exception& error, const std::string& what) {
  if (error.code == cv::Error::StsNoMem) throw std::bad_alloc();
  throw Fail(what + " failed: " + error.what());
}
