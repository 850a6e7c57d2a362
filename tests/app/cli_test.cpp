#include "app/cli.h"

#include <gtest/gtest.h>

#include <regex>

#include "app/probe.h"
#include "support/clips.h"
#include "support/run.h"

namespace {

const std::string kReportHead =
    R"({"frames":true,"local_model":false,"local_multimodal":false,)"
    R"("local_reason":"this build of macOS has no Foundation Models framework","ok":true,"os":")";
const std::string kReportTail = "\"vision\":true}";

// The probe report, with this machine's os text, as the process prints it.
std::string probeReport() {
  const std::string os = probe()["os"];
  return kReportHead + std::regex_replace(os, std::regex("/"), "\\/") + "\"," + kReportTail;
}

TEST(CommandLine, FailuresPrintTheExactErrorDocument) {
  // Arguments and the one line printed; every one exits with status 1.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"curate", "--video", "x.mov", "--count", "3"},
       R"({"error":"this build has no Foundation Models framework","ok":false})"},
      {{"PROBE"}, R"({"error":"unknown command PROBE","ok":false})"},
      {{""}, R"({"error":"unknown command ","ok":false})"},
      {{"--video", "clip.mov"}, R"({"error":"unknown command --video","ok":false})"},
      {{"frames"}, R"({"error":"--video is required","ok":false})"},
      {{"selftest", "--count", "2", "--video"}, R"({"error":"--video is required","ok":false})"},
      {{"frames", "--video", "/no/such/dir/clip.mov"},
       R"({"error":"cannot open \/no\/such\/dir\/clip.mov: No such file or directory","ok":false})"},
      {{"frames", "--video", "http://example.com/a.mp4"},
       R"({"error":"cannot open http:\/\/example.com\/a.mp4: No such file or directory","ok":false})"},
      {{"frames", "--video", "concat:a.mp4|b.mp4"},
       R"({"error":"cannot open concat:a.mp4|b.mp4: No such file or directory","ok":false})"},
      {{"frames", "--video", "pipe:0"}, R"({"error":"cannot open pipe:0: No such file or directory","ok":false})"},
      {{"frames", "--video", makeClip("sound-only.wav", "-f lavfi -i anullsrc=r=8000:cl=mono -t 0.5")},
       R"({"error":"this file has no video track","ok":false})"},
      {{"caf\xC3\xA9"}, "{\"error\":\"unknown command caf\xC3\xA9\",\"ok\":false}"},
      {{"bad\xFF"}, R"({"ok":false,"error":"could not encode the result"})"},
      {{"line\nbreak/\"q\"\\"}, R"({"error":"unknown command line\nbreak\/\"q\"\\","ok":false})"},
  };
  for (const auto& [args, line] : cases) EXPECT_EQ(runStillpick(args), (RunResult{line + "\n", "", 1})) << args[0];
}

TEST(CommandLine, ProbeIsTheDefaultAndIgnoresFurtherWords) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"probe"}, {"probe", "--video", "x", "extra"}})
    EXPECT_EQ(runStillpick(args), (RunResult{probeReport() + "\n", "", 0}));
}

TEST(CommandLine, SelftestReportsAFailedAnalysisInsideTheDocument) {
  const std::string tmp = freshTempDir();
  EXPECT_EQ(runStillpick({"selftest", "--video", "/no/such.mov", "--count", "2"}, {"TMPDIR=" + tmp}),
            (RunResult{R"({"error":"cannot open \/no\/such.mov: No such file or directory","ok":false,"probe":)" +
                           probeReport() + "}\n",
                       "", 0}));
}

// The lookup the commands share: the first "--name" anywhere, argv[0]
// included, and the word after it, whatever that is.
TEST(ArgumentLookup, FirstMatchAnywhereWins) {
  const std::vector<std::string> args = {"--video", "a.mov", "--video", "b.mov", "--count", "--size"};
  EXPECT_EQ(arg(args, "video"), "a.mov");
  EXPECT_EQ(arg(args, "count"), "--size");
  EXPECT_EQ(arg(args, "size"), std::nullopt);  // last element
  EXPECT_EQ(arg({"s", "frames", "--Video", "x"}, "video"), std::nullopt);
}

TEST(IntegerOption, StrictDecimalGrammarWithinInt64) {
  const std::vector<std::pair<std::string, std::optional<int64_t>>> cases = {
      {"+4", 4}, {"-2", -2}, {"-0", 0}, {"007", 7}, {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN}, {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt}, {"", std::nullopt}, {"+", std::nullopt}, {"+-4", std::nullopt},
      {" 4", std::nullopt}, {"4 ", std::nullopt}, {"4.0", std::nullopt}, {"0x10", std::nullopt},
      {"\xD9\xA4", std::nullopt},  // Arabic-Indic digit four
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parseInteger(text), expected) << "'" << text << "'";
  EXPECT_EQ(integerOption({"s", "frames", "--count", "4.0"}, "count", 6), 6);
  EXPECT_EQ(integerOption({"s", "frames", "--size", "-3"}, "size", 512), -3);
}

}  // namespace
