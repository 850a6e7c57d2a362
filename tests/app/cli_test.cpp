#include "app/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "support/clips.h"
#include "support/run.h"

namespace {

const std::string kReportHead =
    R"({"frames":true,"local_model":false,"local_multimodal":false,)"
    R"("local_reason":"this build of macOS has no Foundation Models framework","ok":true,"os":")";
const std::string kReportTail = "\"vision\":true}\n";

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
      {{"caf\xC3\xA9"}, "{\"error\":\"unknown command caf\xC3\xA9\",\"ok\":false}"},
      {{"bad\xFF"}, R"({"ok":false,"error":"could not encode the result"})"},
      {{"line\nbreak/\"q\"\\"}, R"({"error":"unknown command line\nbreak\/\"q\"\\","ok":false})"},
  };
  for (const auto& [args, line] : cases) {
    RunResult result = runStillpick(args);
    EXPECT_EQ(result.out, line + "\n") << "args[0]: " << args[0];
    EXPECT_EQ(result.status, 1) << "args[0]: " << args[0];
    EXPECT_EQ(result.err, "");
  }
}

TEST(CommandLine, ProbeIsTheDefaultAndIgnoresFurtherWords) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"probe"}, {"probe", "--video", "x", "extra"}}) {
    RunResult result = runStillpick(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(result.out.rfind(kReportHead, 0), 0u) << result.out;
    ASSERT_GE(result.out.size(), kReportHead.size() + kReportTail.size());
    EXPECT_EQ(result.out.substr(result.out.size() - kReportTail.size()), kReportTail);
    std::string os = result.out.substr(kReportHead.size(), result.out.size() - kReportHead.size() - kReportTail.size());
    EXPECT_TRUE(os.size() > 3 && os.substr(os.size() - 2) == "\",") << os;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1);
  }
}

TEST(CommandLine, SelftestReportsAFailedAnalysisInsideTheDocument) {
  std::string tmp = freshTempDir();
  RunResult result = runStillpick({"selftest", "--video", "/no/such.mov", "--count", "2"}, {"TMPDIR=" + tmp});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  std::regex shape(R"(^\{"error":"cannot open \\/no\\/such\.mov: No such file or directory","ok":false,"probe":\{"frames":true,.*"vision":true\}\}
$)");
  EXPECT_TRUE(std::regex_match(result.out, shape)) << result.out;
  std::filesystem::remove_all(tmp);
}

TEST(ArgumentLookup, FirstMatchAnywhereWins) {
  const std::vector<std::string> args = {"stillpick", "frames", "--video", "a.mov", "--video", "b.mov",
                                         "--count", "--size"};
  EXPECT_EQ(arg(args, "video"), "a.mov");
  EXPECT_EQ(arg(args, "count"), "--size");
  EXPECT_EQ(arg(args, "size"), std::nullopt);  // last element
  EXPECT_EQ(arg(args, "out"), std::nullopt);
  EXPECT_EQ(arg({"--video", "x"}, "video"), "x");  // argv[0] is searched too
  EXPECT_EQ(arg({"s", "frames", "--video", ""}, "video"), "");
  EXPECT_EQ(arg({"s", "frames", "--Video", "x"}, "video"), std::nullopt);
}

TEST(IntegerOption, StrictDecimalGrammarWithinInt64) {
  const std::vector<std::pair<std::string, std::optional<int64_t>>> cases = {
      {"4", 4}, {"+4", 4}, {"-2", -2}, {"-0", 0}, {"007", 7},
      {"9223372036854775807", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt}, {"-9223372036854775809", std::nullopt},
      {"", std::nullopt}, {"+", std::nullopt}, {"+-4", std::nullopt}, {" 4", std::nullopt}, {"4 ", std::nullopt},
      {"4.0", std::nullopt}, {"0x10", std::nullopt}, {"\xD9\xA4", std::nullopt},  // Arabic-Indic digit four
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parseInteger(text), expected) << "'" << text << "'";
  EXPECT_EQ(integerOption({"s", "frames", "--count", "4.0"}, "count", 6), 6);
  EXPECT_EQ(integerOption({"s", "frames", "--count"}, "count", 6), 6);
  EXPECT_EQ(integerOption({"s", "frames", "--size", "-3"}, "size", 512), -3);
  EXPECT_EQ(integerOption({"s", "frames"}, "size", 512), 512);
}

}  // namespace
