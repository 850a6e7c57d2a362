#pragma once
#include <nlohmann/json.hpp>

// A result document: a string-keyed dictionary of JSON values. Objects keep
// their keys in a std::map, so they are already in byte-wise key order.
using Document = nlohmann::json;
