#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One character of a UTF-8 text: its code point and its length in bytes. A
// byte that starts no well-formed sequence (overlong forms, surrogates and
// code points above U+10FFFF included) stands alone, as code point -1 of
// length 1.
struct Utf8Char {
  int32_t codepoint = -1;
  size_t length = 1;
};

// The character starting at byte `at` (< text.size()) of `text`.
Utf8Char utf8CharAt(std::string_view text, size_t at);

// Whether `codepoint` is a letter (Unicode categories Lu, Ll, Lt, Lm, Lo), or
// a letter or a number (Nd, Nl, No too); -1, a malformed byte, is neither.
bool isLetter(int32_t codepoint);
bool isLetterOrNumber(int32_t codepoint);

// `text` with every byte that does not belong to a well-formed UTF-8 sequence
// replaced by U+FFFD, so that readings can always be written as JSON.
std::string validUtf8(std::string_view text);

// The canonical composition (NFC) of `text`, or `text` itself when it is not
// valid UTF-8: canonically equivalent texts have equal forms.
std::string canonicalForm(const std::string& text);
