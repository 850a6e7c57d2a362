#pragma once
#include <exception>
#include <new>
#include <string>

// The one error type of stillpick. Its message becomes the "error" text of the
// error document unchanged, so it is written for the calling program to read.
struct Fail : std::exception {
  std::string message;
  explicit Fail(std::string text) : message(std::move(text)) {}
  const char* what() const noexcept override { return message.c_str(); }
};

// The result of `attempt`, or `fallback` when it fails: for work whose
// failure costs only its own answer (one frame, one print, one analysis).
// Running out of memory is never such a failure: it ends the run.
template <typename Attempt, typename Result>
Result orDefault(Attempt&& attempt, Result fallback) {
  try {
    return attempt();
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    return fallback;
  }
}
