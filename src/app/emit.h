#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "base/document.h"

// The line printed when a document cannot be encoded. It is written verbatim,
// so "ok" comes before "error" here, unlike in a serialised error document.
inline constexpr std::string_view kFallbackLine = R"({"ok":false,"error":"could not encode the result"})";

// Compact JSON with sorted keys, "/" written as "\/", non-ASCII text raw.
// Nothing when the document holds a non-finite number or text that is not
// valid UTF-8.
std::optional<std::string> encodeJson(const Document& document);

// Prints the document (or the fallback line) and one line feed on stdout.
// False when the line could not be written whole (a full device, a closed
// output): the caller's run has then failed, though nothing more can say so.
bool emit(const Document& document);

// Prints the error document for the message and ends the process with 1.
[[noreturn]] void die(const std::string& message);
