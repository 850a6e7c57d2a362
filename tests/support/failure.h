#pragma once
#include <functional>
#include <string>

// The message of the Fail that `action` throws, or "" when it returns.
std::string failureOf(const std::function<void()>& action);
