#pragma once
#include <exception>
#include <string>

// The one error type of stillpick. Its message becomes the "error" text of the
// error document unchanged, so it is written for the calling program to read.
struct Fail : std::exception {
  std::string message;
  explicit Fail(std::string text) : message(std::move(text)) {}
  const char* what() const noexcept override { return message.c_str(); }
};
