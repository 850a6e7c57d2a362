#include "vision/language_correction.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <optional>
#include <utility>

#include "base/lines.h"
#include "base/utf8.h"

namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
char lower(char c) { return isUpper(c) ? char(c - 'A' + 'a') : c; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool allLetters(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), isAsciiLetter); }

// Edit distance between two short ASCII words, letter case aside.
size_t distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), 0);
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (lower(a[i - 1]) != lower(b[j - 1]))});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Letters read as digits inside a number: "0S02" is "0502".
void mendDigitRuns(std::string& word) {
  static constexpr std::string_view kLetters = "OoSlIB|", kDigits = "0051181";
  for (size_t i = 1; i + 1 < word.size(); ++i) {
    size_t at = kLetters.find(word[i]);
    if (at != std::string_view::npos && isAsciiDigit(word[i - 1]) && isAsciiDigit(word[i + 1])) word[i] = kDigits[at];
  }
}

// "ctd+O" is "Ctrl+O": each part before the last '+' must come out a
// modifier, or the word is left alone ("C++", "a+b").
void mendShortcut(std::string& word) {
  static constexpr std::array<std::string_view, 5> kModifiers = {"Ctrl", "Shift", "Alt", "Super", "Meta"};
  std::vector<std::string> parts;
  for (size_t from = 0;;) {
    size_t plus = word.find('+', from);
    parts.emplace_back(word.substr(from, plus == std::string::npos ? std::string::npos : plus - from));
    if (plus == std::string::npos) break;
    from = plus + 1;
  }
  if (parts.size() < 2 || parts.back().empty()) return;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (!allLetters(parts[i])) return;
    std::optional<std::string_view> nearest;
    size_t best = parts[i].size() >= 3 ? 3 : 1;  // short parts must match outright
    bool tie = false;
    for (std::string_view modifier : kModifiers) {
      size_t d = distance(parts[i], modifier);
      if (d < best) best = d, nearest = modifier, tie = false;
      else if (d == best && nearest) tie = true;
    }
    if (!nearest || tie) return;
    parts[i] = *nearest;
  }
  std::string& key = parts.back();
  if (key.size() == 1) key[0] = upper(key[0]);
  word.clear();
  for (size_t i = 0; i < parts.size(); ++i) word += (i ? "+" : "") + parts[i];
}

// A symbol, digit or letter read for a letter, and the letters it may stand
// for, in the look-alike's case. An l of small writing often comes out an i
// or an I ("Ciose", "AlI"), and an i an l ("Qult"); the l is tried last, so
// that a word holding one of each is mended by its i.
struct LookAlike {
  std::string_view read;
  std::string_view letters;
};
constexpr std::array<LookAlike, 10> kLookAlikes = {{
    {"\xE2\x82\xAC", "E"},  // €
    {"\xC2\xA2", "c"},      // ¢
    {"$", "S"},
    {"5", "S"},
    {"0", "O"},
    {"1", "lI"},
    {"|", "lI"},
    {"I", "l"},
    {"i", "l"},
    {"l", "i"},
}};

// The word with its one look-alike replaced, if that makes it English.
void mendLookAlike(std::string& core, const Lexicon& english) {
  for (const LookAlike& look : kLookAlikes) {
    size_t at = core.find(look.read);
    if (at == std::string::npos || core.find(look.read, at + 1) != std::string::npos) continue;
    std::string before = core.substr(0, at), after = core.substr(at + look.read.size());
    std::string rest = before + after;
    if (rest.size() < 2 || !allLetters(rest)) return;
    const bool capitals = std::all_of(rest.begin(), rest.end(), isUpper);
    std::optional<std::string> mended;
    for (char letter : look.letters) {
      std::string candidate = before + std::string(1, letter) + after;
      if (!english.contains(candidate)) continue;
      if (mended) return;  // "|" as "l" or "I": either would do
      char c = capitals ? upper(letter) : at > 0 ? lower(letter) : letter;
      mended = before + std::string(1, c) + after;
    }
    if (mended) core = *mended;
    return;
  }
}

// "NOPARKING" is "NO PARKING": the one way of cutting it into the fewest
// (two or three) English words of two letters or more. Longer runs than
// kLongestRun are not words run together, and would cost many look-ups.
constexpr size_t kLongestRun = 32;
void mendRunTogether(std::string& core, const Lexicon& english) {
  if (core.size() < 6 || core.size() > kLongestRun || !std::all_of(core.begin(), core.end(), isUpper) || english.contains(core)) return;
  std::string_view all = core;
  auto word = [&](size_t from, size_t to) { return to - from >= 2 && english.contains(all.substr(from, to - from)); };
  std::vector<std::string> found;
  for (size_t a = 2; a + 2 <= core.size(); ++a)
    if (word(0, a) && word(a, core.size())) found.push_back(core.substr(0, a) + " " + core.substr(a));
  if (found.empty())
    for (size_t a = 2; a + 4 <= core.size(); ++a)
      for (size_t b = a + 2; b + 2 <= core.size(); ++b)
        if (word(0, a) && word(a, b) && word(b, core.size()))
          found.push_back(core.substr(0, a) + " " + core.substr(a, b - a) + " " + core.substr(b));
  if (found.size() == 1) core = found.front();
}

// "316,8kB" is "316,8 kB": a size in bytes whose narrow gap was not read, as
// file managers and dialogs write sizes with a space.
void mendGluedUnit(std::string& word) {
  static constexpr std::array<std::string_view, 9> kUnits = {"kB", "KB", "MB", "GB", "TB", "KiB", "MiB", "GiB", "TiB"};
  for (std::string_view unit : kUnits) {
    if (word.size() <= unit.size() || !word.ends_with(unit)) continue;
    std::string_view number = std::string_view(word).substr(0, word.size() - unit.size());
    const size_t separator = number.find_first_of(".,");
    auto digits = [](std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), isAsciiDigit); };
    if (separator == std::string_view::npos ? digits(number)
                                            : digits(number.substr(0, separator)) && digits(number.substr(separator + 1)))
      word = std::string(number) + ' ' + std::string(unit);
    return;
  }
}

// The directories at the root of a Unix file system, one of which an
// absolute path in a terminal or a file manager nearly always starts with.
constexpr std::string_view kRootDirectories[] = {"bin",  "boot", "dev", "etc", "home", "lib", "media", "mnt", "opt",
                                                 "proc", "root", "run", "sbin", "srv", "sys", "tmp", "usr",   "var"};

bool isRootDirectory(std::string_view name) {
  return std::find(std::begin(kRootDirectories), std::end(kRootDirectories), name) != std::end(kRootDirectories);
}

// Whether `shorter` is `longer` with one of its letters left out.
bool oneLetterLess(std::string_view longer, std::string_view shorter) {
  if (longer.size() != shorter.size() + 1) return false;
  size_t same = 0;
  while (same < shorter.size() && shorter[same] == longer[same]) ++same;
  return shorter.substr(same) == longer.substr(same + 1);
}

// A path whose first directory came out wrong: its leading slash read as a
// tall thin letter ("fusr/share" for "/usr/share"), or a letter of that
// directory lost ("/mp/quality" for "/tmp/quality") where exactly one root
// directory is the name read with one letter more ("/sr/" could be /usr or
// /srv, and is kept). Only a word that goes on with a slash after that
// name is taken for a path.
void mendPathRoot(std::string& word) {
  const size_t slash = word.find('/');
  if (slash == std::string::npos || slash + 1 >= word.size()) return;
  if (slash > 0) {
    const std::string_view first(word.data(), slash);
    if (first.size() >= 3 && std::string_view("fl1I|").find(first[0]) != std::string_view::npos &&
        isRootDirectory(first.substr(1)))
      word[0] = '/';
    return;
  }
  const size_t next = word.find('/', 1);
  if (next == std::string::npos || next + 1 >= word.size()) return;
  const std::string_view name(word.data() + 1, next - 1);
  if (name.empty() || isRootDirectory(name)) return;
  std::optional<std::string_view> mended;
  for (std::string_view directory : kRootDirectories) {
    if (!oneLetterLess(directory, name)) continue;
    if (mended) return;
    mended = directory;
  }
  if (mended) word.replace(1, name.size(), *mended);
}

// Whether a capital follows a small letter ("AlI"): a word so written is not
// the English word it spells ("Ali") but a slip, to be mended if it can be.
bool capitalAfterSmall(std::string_view word) {
  for (size_t i = 1; i < word.size(); ++i)
    if (isUpper(word[i]) && word[i - 1] >= 'a' && word[i - 1] <= 'z') return true;
  return false;
}

// Marks that may stand around a word ("(Save", "Open...", "“Quit”").
bool isWrapping(char c) { return !isAsciiLetter(c) && !isAsciiDigit(c) && c != '$' && c != '|' && c != '+'; }

// Where `word` is left once the marks that wrap it are set aside: [from, to).
struct Core {
  size_t from, to;
};
Core wrappedCore(std::string_view word) {
  // Wrapping marks are ASCII; a UTF-8 byte may be part of a look-alike.
  size_t from = 0, to = word.size();
  while (from < to && isWrapping(word[from]) && uint8_t(word[from]) < 0x80) ++from;
  while (to > from && isWrapping(word[to - 1]) && uint8_t(word[to - 1]) < 0x80) --to;
  return {from, to};
}

// "Rati" is "Ratio": a word of kShortestLostLetter letters or more, in
// small letters after its first, that is not English becomes the one
// English word it reads as with one letter put back (a capital where it
// goes before a capital that starts the word); where two fit
// ("Mori": Maori, Morin), or none, it stays as read. A word in capitals is
// more often a name or an acronym ("GIMP", not "GIMPY").
constexpr size_t kShortestLostLetter = 4;
void mendLostLetter(std::string& core, const Lexicon& english) {
  if (core.size() < kShortestLostLetter || !allLetters(core) || english.contains(core) ||
      std::any_of(core.begin() + 1, core.end(), isUpper))
    return;
  std::optional<std::string> mended;
  for (size_t at = 0; at <= core.size(); ++at)
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      // The same letter put back before or after its twin is one word.
      if (at > 0 && lower(core[at - 1]) == letter) continue;
      // Before a capital, the capital is the letter put back.
      const bool first = at == 0 && isUpper(core[0]);
      std::string candidate = first ? std::string(1, upper(letter)) + lower(core[0]) + core.substr(1)
                                    : core.substr(0, at) + std::string(1, letter) + core.substr(at);
      if (!english.contains(candidate)) continue;
      if (mended) return;
      mended = candidate;
    }
  if (mended) core = *mended;
}

std::string mendedWord(std::string word, const Lexicon& english) {
  mendPathRoot(word);
  mendDigitRuns(word);
  mendGluedUnit(word);
  if (word.find('+') != std::string::npos) {
    mendShortcut(word);
    return word;
  }
  const auto [from, to] = wrappedCore(word);
  std::string core = word.substr(from, to - from);
  if (core.empty() || (english.contains(core) && !capitalAfterSmall(core))) return word;
  mendLookAlike(core, english);
  mendRunTogether(core, english);
  mendLostLetter(core, english);
  return word.substr(0, from) + core + word.substr(to);
}

constexpr std::string_view kOpeningSingle = "\xE2\x80\x98", kClosingSingle = "\xE2\x80\x99";
constexpr std::string_view kOpeningDouble = "\xE2\x80\x9C", kClosingDouble = "\xE2\x80\x9D";

// The line less a mark at its start or end that is not writing: a quote
// mark or an opening bracket with no partner in the line (a border read as
// a mark), or a tilde before a digit (a file's icon; a home folder is "~/").
void dropLoneMarks(std::string& line) {
  for (auto [mark, partner] : {std::pair{'(', ')'}, std::pair{'[', ']'}, std::pair{'{', '}'}})
    if (line.size() > 1 && line[0] == mark && line.find(partner) == std::string::npos)
      line.erase(0, line.find_first_not_of(' ', 1));
  if (line.size() > 1 && line[0] == '~' && isAsciiDigit(line[1])) line.erase(0, 1);
  auto lone = [&](std::string_view mark, std::string_view partner) {
    return line.find(partner) == std::string::npos && line.find(mark, mark.size()) == std::string::npos;
  };
  for (auto [mark, partner] : {std::pair{kOpeningSingle, kClosingSingle}, std::pair{kOpeningDouble, kClosingDouble}})
    if (line.starts_with(mark) && line.size() > mark.size() && lone(mark, partner))
      line.erase(0, line.find_first_not_of(' ', mark.size()));
  if (line.ends_with(kClosingDouble) && line.size() > kClosingDouble.size() &&
      line.find(kOpeningDouble) == std::string::npos && line.find(kClosingDouble) == line.size() - kClosingDouble.size())
    line.erase(line.size() - kClosingDouble.size());
}

// A pair of double quote marks read one straight and one curly ("Show All”)
// is made straight.
void matchQuotePair(std::string& line) {
  auto count = [&](std::string_view mark) {
    size_t n = 0;
    for (size_t at = line.find(mark); at != std::string::npos; at = line.find(mark, at + mark.size())) ++n;
    return n;
  };
  const size_t opening = count(kOpeningDouble), closing = count(kClosingDouble);
  if (count("\"") != 1 || opening + closing != 1) return;
  std::string_view curly = opening ? kOpeningDouble : kClosingDouble;
  const size_t at = line.find(curly);
  std::string straight;
  straight.append(line, 0, at);
  straight.push_back('"');
  straight.append(line, at + curly.size(), std::string::npos);
  line = std::move(straight);
}

// The words of `line`: its runs of characters between spaces.
std::vector<std::string_view> wordsIn(std::string_view line) {
  std::vector<std::string_view> words;
  for (size_t from = 0; from < line.size();) {
    size_t space = std::min(line.find(' ', from), line.size());
    if (space > from) words.push_back(line.substr(from, space - from));
    from = space + 1;
  }
  return words;
}

bool isAsciiLetterOrDigit(char c) { return isAsciiLetter(c) || isAsciiDigit(c); }

// "Vidéos", "Pérennes": seldom what an icon is read as, which is a mark
// ("©", "«") when it is not ASCII.
bool hasLetterBeyondAscii(std::string_view word) {
  for (size_t at = 0; at < word.size();) {
    Utf8Char c = utf8CharAt(word, at);
    at += c.length;
    if (c.codepoint >= 0x80 && isLetter(c.codepoint)) return true;
  }
  return false;
}

bool looksWritten(std::string_view word, const Lexicon& english) {
  word = withoutMarksAround(word);
  if (word.size() >= 3 && allLetters(word) && english.contains(word)) return true;
  if (word.size() >= 2 && std::any_of(word.begin(), word.end(), isAsciiDigit)) return true;
  if (word.size() >= 3 && word.find_first_of(".+_/:-") != std::string_view::npos) return true;
  return word.size() >= 3 && hasLetterBeyondAscii(word);
}

// Commands a shell prompt is commonly followed by in a terminal recording.
constexpr std::string_view kCommands[] = {
    "apt", "awk",   "basename", "cal",   "cat",   "cd",     "chmod", "chown", "clear",  "cmake", "cp",
    "curl", "cut",  "date",     "df",    "diff",  "dirname", "du",   "echo",  "env",    "exit",  "export",
    "file", "find", "free",     "gcc",   "git",   "grep",   "gzip",  "head",  "history", "id",   "kill",
    "less", "ln",   "ls",       "make",  "man",   "mkdir",  "more",  "mount", "mv",     "nano",  "ping",
    "ps",   "pwd",  "python3",  "rm",    "rmdir", "scp",    "sed",   "sort",  "ssh",    "sudo",  "tail",
    "tar",  "tee",  "top",      "touch", "uname", "uniq",   "vim",   "wc",    "which",
};

bool isCommand(std::string_view word) {
  return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
}

// Characters the recognisers confuse, each with those it is taken for.
bool lookAlikeLetters(char a, char b) {
  static constexpr std::array<std::string_view, 4> kGroups = {"ce", "lI1|", "o0", "s5"};
  return std::any_of(kGroups.begin(), kGroups.end(), [&](std::string_view group) {
    return a != b && group.find(a) != std::string_view::npos && group.find(b) != std::string_view::npos;
  });
}

// The command after a shell prompt ("$ we -l", "me@host:~$ Is"), mended when
// it is not a command and exactly one command is one look-alike letter away
// ("wc", "ls"): English words say nothing there.
void mendCommand(std::string& line) {
  std::vector<std::string_view> words = wordsIn(line);
  if (words.size() < 2 || !words[0].ends_with('$') || isCommand(words[1])) return;
  const std::string_view read = words[1];
  std::optional<std::string_view> mended;
  for (std::string_view command : kCommands) {
    if (command.size() != read.size()) continue;
    size_t slips = 0;
    for (size_t i = 0; i < read.size() && slips < 2; ++i)
      if (read[i] != command[i]) slips += lookAlikeLetters(read[i], command[i]) ? 1 : 2;
    if (slips != 1) continue;
    if (mended) return;
    mended = command;
  }
  if (mended) line.replace(size_t(read.data() - line.data()), read.size(), *mended);
}

// Letters that writing a few pixels tall is read as one another: the round
// ones, and pairs of like shape ("Clese", "Tsb", "Musik", "9uit").
constexpr std::array<std::string_view, 6> kSmallLookAlikes = {"aceo", "as", "ck", "gq9", "hn", "uv"};

bool hasSmallLookAlike(char c) {
  return std::any_of(kSmallLookAlikes.begin(), kSmallLookAlikes.end(),
                     [&](std::string_view group) { return group.find(lower(c)) != std::string_view::npos; });
}

// The English words `core` reads as with one of its letters swapped for a
// small look-alike, in the case of the letter it takes the place of (a
// capital for a digit that starts the word); at most two, as two are
// already too many.
std::vector<std::string> smallLookAlikeWords(std::string core, const Lexicon& english) {
  std::vector<std::string> found;
  for (size_t i = 0; i < core.size() && found.size() < 2; ++i) {
    const char was = core[i];
    for (std::string_view group : kSmallLookAlikes) {
      if (group.find(lower(was)) == std::string_view::npos) continue;
      for (char other : group) {
        if (other == lower(was)) continue;
        core[i] = isUpper(was) || (i == 0 && isAsciiDigit(was)) ? upper(other) : other;
        // Each swap gives a word of its own: no two groups share a pair.
        if (english.contains(core)) found.push_back(core);
      }
    }
    core[i] = was;
  }
  return found;
}

std::string mendedSmallWord(std::string word, const Lexicon& english) {
  const auto [from, to] = wrappedCore(word);
  const std::string core = word.substr(from, to - from);
  const auto letters = std::count_if(core.begin(), core.end(), isAsciiLetter);
  if (core.size() < kShortestSmallMend || letters < 2 ||
      !std::all_of(core.begin(), core.end(), [](char c) { return isAsciiLetter(c) || hasSmallLookAlike(c); }) ||
      (english.contains(core) && !capitalAfterSmall(core)))
    return word;
  const std::vector<std::string> found = smallLookAlikeWords(core, english);
  return found.size() == 1 ? word.substr(0, from) + found[0] + word.substr(to) : word;
}

// The words of `line`, each mended by `mend`, joined by single spaces.
template <typename Mend>
std::string mendedWordByWord(std::string_view line, const Mend& mend) {
  std::string mended;
  for (std::string_view word : wordsIn(line)) {
    if (!mended.empty()) mended += ' ';
    mended += mend(std::string(word));
  }
  return mended;
}

}  // namespace

std::string_view withoutMarksAround(std::string_view word) {
  while (!word.empty() && !isAsciiLetterOrDigit(word.front()) && uint8_t(word.front()) < 0x80) word.remove_prefix(1);
  while (!word.empty() && !isAsciiLetterOrDigit(word.back()) && uint8_t(word.back()) < 0x80) word.remove_suffix(1);
  return word;
}

Lexicon::Lexicon(std::string_view sortedWords) : words_(linesOf(sortedWords)) {
  std::erase(words_, std::string_view());
}

bool Lexicon::contains(std::string_view word) const {
  if (word.empty() || word.size() > 64) return false;
  std::string key(word);
  std::transform(key.begin(), key.end(), key.begin(), lower);
  return std::binary_search(words_.begin(), words_.end(), std::string_view(key));
}

std::string languageCorrected(std::string_view line, const Lexicon& english) {
  std::string mended = mendedWordByWord(line, [&](std::string word) { return mendedWord(std::move(word), english); });
  dropLoneMarks(mended);
  mendCommand(mended);
  matchQuotePair(mended);
  return mended;
}

std::string smallWritingCorrected(std::string_view line, const Lexicon& english) {
  return mendedWordByWord(line, [&](std::string word) { return mendedSmallWord(std::move(word), english); });
}

bool allEnglishWords(std::string_view line, const Lexicon& english) {
  std::vector<std::string_view> words = wordsIn(line);
  return !words.empty() && std::all_of(words.begin(), words.end(), [&](std::string_view w) {
    w = withoutMarksAround(w);
    return !w.empty() && allLetters(w) && english.contains(w);
  });
}

bool readsAsNoise(std::string_view line, float confidence, const Lexicon& english) {
  if (!(confidence < kUnsureNoise)) return false;
  std::vector<std::string_view> words = wordsIn(line);
  const auto written = std::count_if(words.begin(), words.end(), [&](std::string_view w) { return looksWritten(w, english); });
  return words.size() >= 2 && size_t(written) * kNoiseWordsPerWritten < words.size();
}
