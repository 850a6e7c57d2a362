#include "vision/language_correction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "vision/embedded_models.h"

namespace {

// A small lexicon in the embedded list's form; "at", "al" and "times" make
// "ATALTIMES" cut one way only.
constexpr std::string_view kWords =
    "al\nall\nat\ncan\nclose\ndit\nedit\nfile\nlist\nmimic\nno\none\nopen\nparking\nprint\nquit\nsave\nsome\nsomeone\ntimes\n";

// A row of the tables below: a line as read, and as it should come out.
struct ReadAndMended {
  const char* read;
  const char* mended;
};

TEST(Lexicon, LooksUpWholeWordsWhateverTheirCase) {
  Lexicon lexicon("ab\r\nabc\n\nzed");  // CRLF and an empty line are tolerated
  for (const char* word : {"ab", "ABC", "Zed"}) EXPECT_TRUE(lexicon.contains(word)) << word;
  for (const char* word : {"", "a", "abcd", "b", "ze", "zedd"}) EXPECT_FALSE(lexicon.contains(word)) << word;
  EXPECT_FALSE(Lexicon("").contains("a"));
}

TEST(LanguageCorrected, MendsTypicalSlipsAndKeepsEverythingElse) {
  const Lexicon lexicon(kWords);
  const ReadAndMended cases[] = {
      // one look-alike for a letter, in the case of the word
      {"File \xE2\x82\xAC" "dit", "File Edit"},
      {"0pen 5ave", "Open Save"},
      {"pr1nt 1ist", "print list"},
      {"PR1NT", "PRINT"},
      {"(5ave)", "(Save)"},
      {"5ave5", "5ave5"},      // two look-alikes: left alone
      {"|ist", "list"},
      {"f1le", "file"},        // 1 for I, as "fIle" is English and "flle" is not
      // an i or an I for an l
      {"Ciose AlI", "Close All"},
      {"CIOSE ALI Iist", "CLOSE ALL list"},
      {"Tim fiie Iit", "Tim fiie Iit"},  // nothing English with an l, or two i's
      {"Iiist", "Iiist"},                // an I and two i's: the I alone does not mend it
      // an l for an i, tried after the i's: "Ctrl" stays, and so does a word
      // whose one i mends nothing
      {"Qult Ctrl", "Quit Ctrl"},
      {"mlmic", "mlmic"},
      {"x5", "x5"},            // too short to tell
      {"$HOME", "$HOME"},
      // letters in a run of digits
      {"IMG_0S02.JPG", "IMG_0502.JPG"},
      {"1O0 2l3 4B5 6I7", "100 213 485 617"},
      {"O1 S5 10S", "O1 S5 10S"},  // a letter at the edge of a number is kept
      // sizes in bytes
      {"316,8kB 2.5GiB 12MB", "316,8 kB 2.5 GiB 12 MB"},
      {"MB 1,kB ,5kB 1.2.3MB 5mb 10px", "MB 1,kB ,5kB 1.2.3MB 5mb 10px"},
      // capitals run together, cut the one way they can be
      {"NOPARKING", "NO PARKING"},
      {"CANSOMEONE", "CAN SOMEONE"},
      {"ATALTIMES", "AT AL TIMES"},
      {"noparking", "noparking"},  // lower case ("menubar") is kept
      {"PARKING", "PARKING"},
      {"NOSAVEX", "NOSAVEX"},      // no cut into English words
      // keyboard shortcuts
      {"ctd+O", "Ctrl+O"},
      {"Ctd+w", "Ctrl+W"},
      {"Shik+Ctrl+S", "Shift+Ctrl+S"},
      {"alt+F4", "Alt+F4"},
      {"Shik+Ced +S", "Shift+Ced +S"},
      {"C++ a+b x+1", "C++ a+b x+1"},
      {"Ctrl+", "Ctrl+"},
      {"Xyzzy+Q", "Xyzzy+Q"},
      // quote marks with no partner at the line's edges
      {"\xE2\x80\x98" "File", "File"},
      {"\xE2\x80\x9C" " Open", "Open"},
      {"Bring jackets\xE2\x80\x9D", "Bring jackets"},
      {"\xE2\x80\x9C" "Open\xE2\x80\x9D", "\xE2\x80\x9C" "Open\xE2\x80\x9D"},
      {"\xE2\x80\x98" "Open\xE2\x80\x99", "\xE2\x80\x98" "Open\xE2\x80\x99"},
      {"drivers\xE2\x80\x99", "drivers\xE2\x80\x99"},
      {"\xE2\x80\x9D", "\xE2\x80\x9D"},
      // an opening bracket with no partner, a tilde before a digit
      {"[size 20.00", "size 20.00"},
      {"( Search", "Search"},
      {"(imported) x", "(imported) x"},
      {"[a] (b", "[a] (b"},
      {"~120px-a.png", "120px-a.png"},
      {"~/Documents ~5", "~/Documents ~5"},
      {"(", "("},
      // the command after a shell prompt
      {"$ we -l x", "$ wc -l x"},
      {"me@host:~$ Is -l", "me@host:~$ ls -l"},
      {"$ wc we", "$ wc we"},
      {"$ ce", "$ ce"},     // "cd" and "ce" differ by no look-alike
      {"$ 1n", "$ ln"},
      {"$ xyz", "$ xyz"},
      {"echo we $ we", "echo we $ we"},  // a prompt starts the line
      // a path's first directory
      {"674 fusr/share/GPL-3", "674 /usr/share/GPL-3"},
      {"letc/hosts Ivar/log |tmp/x 1opt/y", "/etc/hosts /var/log /tmp/x /opt/y"},
      {"/mp/quality-desktop/Documents", "/tmp/quality-desktop/Documents"},
      {"/ar/log /sbn/x", "/var/log /sbin/x"},
      {"/sr/share", "/sr/share"},      // /usr or /srv: left alone
      {"/mp /mp/ fusr/ fusr", "/mp /mp/ fusr/ fusr"},  // nothing after the name: not a path
      {"lib/x fetch/x for/x and/or ~/x", "lib/x fetch/x for/x and/or ~/x"},
      {"/usr/share /Users/me /nix/store", "/usr/share /Users/me /nix/store"},
      {"x/mp/y", "x/mp/y"},
      // a pair of double quote marks read one straight and one curly
      {"in \"Show All\xE2\x80\x9D mode", "in \"Show All\" mode"},
      {"in \xE2\x80\x9CShow All\" mode", "in \"Show All\" mode"},
      {"\xE2\x80\x9C" "a\xE2\x80\x9D \"b", "\xE2\x80\x9C" "a\xE2\x80\x9D \"b"},
      {"\"a\" \xE2\x80\x9D" "b", "\"a\" \xE2\x80\x9D" "b"},
      {"5\" disc", "5\" disc"},
      // spacing
      {"  open   file ", "open file"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(languageCorrected(c.read, lexicon), c.mended) << c.read;
  // A word found in the lexicon with a capital after a small letter is a
  // slip all the same: "AlI" is not the name Ali.
  const Lexicon names("al\nali\nall\n");
  EXPECT_EQ(languageCorrected("Save AlI", names), "Save All");
  EXPECT_EQ(languageCorrected("Ali ALI ali AlIx", names), "Ali ALI ali AlIx");
  // Past 32 letters a run of capitals is left alone.
  const std::string longWord(29, 'x'), longerWord(31, 'y');
  const std::string words = "no\n" + longWord + "\n" + longerWord + "\n";
  const Lexicon longWords(words);
  EXPECT_EQ(languageCorrected("NO" + std::string(29, 'X'), longWords), "NO " + std::string(29, 'X'));
  EXPECT_EQ(languageCorrected("NO" + std::string(31, 'Y'), longWords), "NO" + std::string(31, 'Y'));
}

TEST(LanguageCorrected, UsesTheEmbeddedEnglishWords) {
  const Lexicon english(englishWords());
  for (const char* word : {"the", "parking", "someone", "edit", "marta"}) EXPECT_TRUE(english.contains(word)) << word;
  EXPECT_EQ(languageCorrected("CANSOMEONE HELP", english), "CAN SOMEONE HELP");
  // Names and file names that are not English stay as read.
  EXPECT_EQ(languageCorrected("Call Marta 800px-De_Quedlinburg_... fgselect", english),
            "Call Marta 800px-De_Quedlinburg_... fgselect");
}

TEST(LanguageCorrected, PutsBackALostLetterWhereOnlyOneEnglishWordFits) {
  const Lexicon english(englishWords());
  const ReadAndMended cases[] = {
      {"Aspect Rati 0.00", "Aspect Ratio 0.00"},
      {"(Documets)", "(Documents)"},
      {"Ocument", "Document"},  // the capital is the letter put back
      {"Setings", "Settings"},  // a letter beside its twin is one fit, not two
      // Kept: two fits ("recant", "recent"; "Maori", "Morin"), none, a word
      // in capitals, too short, English already.
      {"Recnt Mori", "Recnt Mori"},
      {"Mousepad", "Mousepad"},
      {"GIMP", "GIMP"},
      {"Rat", "Rat"},
      {"ratio", "ratio"},
  };
  for (const auto& c : cases) EXPECT_EQ(languageCorrected(c.read, english), c.mended) << c.read;
}

TEST(SmallWritingCorrected, SwapsOneSmallLookAlikeWhereOnlyOneEnglishWordFits) {
  const Lexicon english(englishWords());
  const ReadAndMended cases[] = {
      // Readings of 5-pixel menu and file labels, each letter in its case.
      {"Clese Window", "Close Window"},
      {"Detach Tsb", "Detach Tab"},
      {"Musik", "Music"},
      {"(hcme)", "(home)"},
      {"9uit", "Quit"},  // a digit starting a word becomes a capital
      {"templete.txt", "templete.txt"},  // a file name is not a word
      // Kept: English words, two fits ("caps" and "cops"), none, too
      // short, and words with marks inside them.
      {"Paces Save", "Paces Save"},
      {"ceps", "ceps"},
      {"Wincow", "Wincow"},
      {"Jb", "Jb"},
      {"Ctrl+N repert.po!", "Ctrl+N repert.po!"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(smallWritingCorrected(c.read, english), c.mended) << c.read;
}

TEST(AllEnglishWords, EveryWordWithoutItsMarksIsEnglish) {
  const Lexicon english(englishWords());
  for (const char* line : {"Save As...", "(Reload)", "Close Window"}) EXPECT_TRUE(allEnglishWords(line, english)) << line;
  for (const char* line : {"", " ", "Ctrl+S", "Cref...", "Save 8...", "Save Alll", "..."})
    EXPECT_FALSE(allEnglishWords(line, english)) << line;
}

TEST(ReadsAsNoise, UnsureReadingsWithNoWrittenWord) {
  const Lexicon english(englishWords());
  const struct {
    const char* read;
    float confidence;
    bool noise;
  } cases[] = {
      {"Fe RAL", 0.65f, true},  // icons in a file manager, read as letters
      {"fel O", 0.68f, true},
      {"Wivenioe rark", 0.59f, true},
      {"Fe RAL", kUnsureNoise, false},  // sure enough to keep
      {"Fe RAL", NAN, false},
      {"Wivenhoe Park", 0.59f, false},  // a name beside an English word
      {"Musique", 0.3f, false},         // one word: a name, or another language's
      {"Fe  RAL ", 0.65f, true},        // runs of spaces are not words
      {"(Fe) [RAL].", 0.65f, true},     // nor are marks around words
      {"to BG", 0.65f, true},           // English words of two letters are not evidence
      {"FG [Tab]", 0.65f, false},       // marks around an English word
      {"fh 12", 0.65f, false},          // a number
      {"fh 2", 0.65f, true},            // a lone digit is not
      {"Ctd+W xq", 0.65f, false},       // a shortcut, a file name, a path
      {"beach.png xq", 0.65f, false},
      {"ab/c xq", 0.65f, false},
      {"a/ xq", 0.65f, true},
      {"Vid\xC3\xA9os Musique", 0.65f, false},  // a letter from outside ASCII
      {"\xC2\xA9s Fe", 0.65f, true},           // a mark from outside ASCII: an icon
      // From five words on, one written word in four is not enough: a row of icons
      // in which one reads as an abbreviation.
      {"aN \xC2\xB0 AS fh 2 AAA", 0.66f, true}, {"aN AS fh AAA", 0.66f, false},
      {"aN AS fh 2 AAA beach.png", 0.66f, false}, {"aN \xC2\xB0 AS fh 2 AAA", 0.75f, false},
      {"", 0.1f, false},
  };
  for (const auto& c : cases) EXPECT_EQ(readsAsNoise(c.read, c.confidence, english), c.noise) << c.read;
}

}  // namespace
