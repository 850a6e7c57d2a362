#include "support/failure.h"

#include "base/fail.h"

std::string failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Fail& fail) {
    return fail.message;
  }
  return "";
}
