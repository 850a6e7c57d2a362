#include "app/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "support/clips.h"
#include "support/run.h"

namespace {

const std::string kReportTail =
    R"("vision":true})"
    "\n";
const std::string kReportHead =
    R"({"frames":true,"local_model":false,"local_multimodal":false,)"
    R"("local_reason":"this build of macOS has no Foundation Models framework","ok":true,"os":")";

struct DispatchCase {
  std::vector<std::string> args;
  std::string out;
  int status;
};

TEST(CommandLine, FailuresPrintTheExactErrorDocument) {
  const std::vector<DispatchCase> cases = {
      {{"curate"}, R"({"error":"this build has no Foundation Models framework","ok":false})"
                   "\n", 1},
      {{"curate", "--video", "x.mov", "--count", "3"},
       R"({"error":"this build has no Foundation Models framework","ok":false})"
       "\n", 1},
      {{"PROBE"}, R"({"error":"unknown command PROBE","ok":false})"
                  "\n", 1},
      {{"Frames", "--video", "a.mov"}, R"({"error":"unknown command Frames","ok":false})"
                                       "\n", 1},
      {{""}, R"({"error":"unknown command ","ok":false})"
             "\n", 1},
      {{"--video", "clip.mov"}, R"({"error":"unknown command --video","ok":false})"
                                "\n", 1},
      {{"frames"}, R"({"error":"--video is required","ok":false})"
                   "\n", 1},
      {{"frames", "--video"}, R"({"error":"--video is required","ok":false})"
                              "\n", 1},
      {{"selftest"}, R"({"error":"--video is required","ok":false})"
                     "\n", 1},
      {{"selftest", "--count", "2", "--video"}, R"({"error":"--video is required","ok":false})"
                                                "\n", 1},
      {{"frames", "--video", "/no/such/dir/clip.mov"},
       R"({"error":"cannot open \/no\/such\/dir\/clip.mov: No such file or directory","ok":false})"
       "\n", 1},
      {{"frames", "--video", "http://example.com/a.mp4"},
       R"({"error":"cannot open http:\/\/example.com\/a.mp4: No such file or directory","ok":false})"
       "\n", 1},
      {{"frames", "--video", "concat:a.mp4|b.mp4"},
       R"({"error":"cannot open concat:a.mp4|b.mp4: No such file or directory","ok":false})"
       "\n", 1},
      {{"frames", "--video", "pipe:0"}, R"({"error":"cannot open pipe:0: No such file or directory","ok":false})"
                                        "\n", 1},
      {{"unknown", "--video", "\xC3\xA9t\xC3\xA9\"\\\n"},
       R"({"error":"unknown command unknown","ok":false})"
       "\n", 1},
      {{"caf\xC3\xA9"}, "{\"error\":\"unknown command caf\xC3\xA9\",\"ok\":false}\n", 1},
      {{"bad\xFF"}, R"({"ok":false,"error":"could not encode the result"})"
                    "\n", 1},
      {{"line\nbreak/\"q\"\\"}, R"({"error":"unknown command line\nbreak\/\"q\"\\","ok":false})"
                                "\n", 1},
  };
  for (const auto& c : cases) {
    RunResult result = runStillpick(c.args);
    EXPECT_EQ(result.out, c.out) << "args[0]: " << c.args[0];
    EXPECT_EQ(result.status, c.status) << "args[0]: " << c.args[0];
    EXPECT_EQ(result.err, "");
  }
}

TEST(CommandLine, ProbeIsTheDefaultAndIgnoresFurtherWords) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"probe"}, {"probe", "--video", "x", "extra"}}) {
    RunResult result = runStillpick(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(result.out.rfind(kReportHead, 0), 0u) << result.out;
    ASSERT_GE(result.out.size(), kReportTail.size());
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
  EXPECT_EQ(arg({"s", "frames", "--video", "--count", "3"}, "video"), "--count");
  EXPECT_EQ(arg({"s", "frames", "--video", "--count", "3"}, "count"), "3");
  EXPECT_EQ(arg({"s", "frames", "--Video", "x"}, "video"), std::nullopt);
}

TEST(IntegerOption, StrictDecimalGrammarWithinInt64) {
  const std::vector<std::pair<std::string, std::optional<int64_t>>> cases = {
      {"4", 4},
      {"+4", 4},
      {"-2", -2},
      {"0", 0},
      {"-0", 0},
      {"007", 7},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt},
      {"12345678901234567890", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"+-4", std::nullopt},
      {" 4", std::nullopt},
      {"4 ", std::nullopt},
      {"4.0", std::nullopt},
      {"1e3", std::nullopt},
      {"four", std::nullopt},
      {"0x10", std::nullopt},
      {"1_000", std::nullopt},
      {"\xD9\xA4", std::nullopt},  // Arabic-Indic digit four
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parseInteger(text), expected) << "'" << text << "'";
  EXPECT_EQ(integerOption({"s", "frames", "--count", "4.0"}, "count", 6), 6);
  EXPECT_EQ(integerOption({"s", "frames", "--count"}, "count", 6), 6);
  EXPECT_EQ(integerOption({"s", "frames", "--size", "-3"}, "size", 512), -3);
  EXPECT_EQ(integerOption({"s", "frames"}, "size", 512), 512);
}

}  // namespace
