#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A set of words, looked up without regard to letter case.
class Lexicon {
 public:
  // `sortedWords`: lower-case ASCII words, one a line, in byte order (as
  // englishWords() gives them); it must outlive the lexicon.
  explicit Lexicon(std::string_view sortedWords);
  bool contains(std::string_view word) const;

 private:
  std::vector<std::string_view> words_;
};

// `word` less the ASCII marks around it that are neither letters nor digits
// ("(galleries," gives "galleries").
std::string_view withoutMarksAround(std::string_view word);

// A line's reading with the recognisers' typical slips mended, word by word,
// where the mended word is English and the word as read is not:
// - one character that stands for a letter ("€dit", "Pr1nt", "5ave", and
//   an i or I for an l: "Ciose", "AlI") becomes that letter, in the case of
//   the letters beside it;
// - in a run of digits, a letter that stands for a digit becomes the digit
//   ("IMG_0S02" gives "IMG_0502", "1O0" gives "100");
// - a size in bytes with no gap before its unit gets one ("316,8kB" gives
//   "316,8 kB");
// - a word in capitals that is two or three words run together, in one way
//   only, gets its spaces back ("NOPARKING" gives "NO PARKING");
// - a word of four letters or more, in small letters after its first, that
//   is one letter short of exactly one English word gets it back ("Rati"
//   gives "Ratio"; "GIMP", in capitals, and "Mori", short of two, stay);
// - in a keyboard shortcut ("ctd+O"), a modifier within two edits of exactly
//   one of Ctrl, Shift, Alt, Super, Meta becomes it, and a single letter key
//   is a capital ("Ctrl+O");
// - an opening quote mark or bracket that starts the line, or a closing
//   quote mark that ends it, without its partner anywhere in the line, is a
//   border read as a mark and is dropped, as is a tilde before a digit at
//   the line's start (a file's icon: "~120px-…");
// - the command after a shell prompt ("$ we -l") that is not a common
//   command, where exactly one is a look-alike letter away, becomes it
//   ("$ wc -l");
// - a pair of double quote marks, one straight and one curly, is made
//   straight;
// - a path's first directory that is not one at the root of a file system
//   becomes the one it was read from: a leading slash read as f, l, 1, I or
//   | ("fusr/share" gives "/usr/share"), or one letter lost where only one
//   root directory fits ("/mp/x" gives "/tmp/x").
// Anything else, names and words not in the lexicon included, is kept as read.
std::string languageCorrected(std::string_view line, const Lexicon& english);

// A reading of writing a few pixels tall (as the CTC recogniser reads a
// large screen shrunk to the frame), already languageCorrected, with the
// slips of writing that small mended, word by word: a word of at least
// kShortestSmallMend characters that is not English (or is, but with a
// capital after a small letter) becomes the one English word it reads
// as with one of its letters swapped for a small look-alike (a, c, e, o; a,
// s; c, k; g, q, 9; h, n; u, v: "Clese" gives "Close", "Tsb" "Tab"). Where
// two English words fit, or none, the word is kept as read.
constexpr size_t kShortestSmallMend = 3;
std::string smallWritingCorrected(std::string_view line, const Lexicon& english);

// Whether a reading of two words or more is noise rather than writing: the
// recogniser was unsure of it (confidence under kUnsureNoise) and fewer than
// one of its words in kNoiseWordsPerWritten looks written (in a line of up
// to four words, none; "aN ° AS fh 2 AAA", a row of icons, is noise).
// Without the marks around it (brackets, quotes, stops), a written word is an English word of three letters or more, a
// number or code of two characters or more with a digit in it, three
// characters or more joined by one of ". + _ / : -" (a file name, a
// shortcut, a path), or three characters or more with a letter from outside
// ASCII ("Vidéos"). Icons and texture read as letters ("Fe RAL", "fel O")
// are noise; a name beside an English word ("Wivenhoe Park") and a single
// word (names, words of other languages) never are.
constexpr float kUnsureNoise = 0.75f;
// Whether every word of `line`, without the marks around it, is an English
// word spelt in letters alone (true for "Save As...", false for "Ctrl+S",
// "Cref..." or an empty line).
bool allEnglishWords(std::string_view line, const Lexicon& english);
constexpr size_t kNoiseWordsPerWritten = 4;
bool readsAsNoise(std::string_view line, float confidence, const Lexicon& english);
