#pragma once
#include <string>
#include <string_view>
#include <vector>

// One word of Tesseract's reading of a line, with its confidence (0 to 100).
struct ReadWord {
  std::string text;  // valid UTF-8, no spaces
  float confidence = 0;
  float left = 0, right = 0;  // its extent along the line, when known (right > left)
};

// How many characters `text` (UTF-8) has, and how many of them are letters
// or digits.
struct CharacterCount {
  int letters = 0, characters = 0;
};
CharacterCount counted(std::string_view text);

// The line's words joined by single spaces, less what is not writing:
// - a first or last word without a letter or digit stands for an icon, a
//   check box or a border beside the line and is dropped, as often as one is
//   there ("| Places" gives "Places", "color: |" gives "color:"); the marks
//   that start real lines (a shell prompt "$" or "#", a list's "-", "+", "*"
//   or ">") are kept;
// - a first word of one letter or digit that Tesseract is unsure of (under
//   kGlyphConfidence) before a word it is sure of (kWordConfidence or more)
//   is an icon read as a character ("8 Show rulers" for a check box) and is
//   dropped, as is a first word of at most two characters with a mark from
//   outside ASCII that Tesseract is unsure of ("»s 800px-…", a file's icon),
//   and a first word of one letter or digit (not "A" or "I") set apart from
//   the rest by a gap at least kGlyphGap times the widest gap between the
//   words after it, however sure Tesseract is ("3 Show menubar", a check
//   box; "5 Home Folder", an icon);
// - a line in which letters and digits are not more than half of the
//   characters left is noise ("@;", "a =") and comes back empty.
constexpr float kGlyphConfidence = 70, kWordConfidence = 85, kGlyphGap = 1.3f;
std::string cleanedReading(std::vector<ReadWord> words);

// The confidence of a whole reading, from Tesseract's mean confidence
// (0 to 100) over its characters, on a 0 to 1 scale: a reading of at most
// kShortReading characters is squared, since a mean over so few characters
// says little (noise read as "sil" or "Buu" scores 0.5 to 0.6, a real short
// label 0.9 and more).
constexpr int kShortReading = 3;
float readingConfidence(float meanConfidence, const std::string& reading);

// `reading` less its first word when that word is one character and what
// follows it is `other`, another recogniser's reading of the same line: an
// icon that this recogniser read as a character and the other one's reading
// had already dropped as one ("Q Search" where Tesseract kept "Search").
std::string withoutGlyphBefore(const std::string& reading, std::string_view other);
