#include "app/cli.h"

#include <charconv>

#include "app/emit.h"
#include "base/fail.h"
#include "pipeline/output_directory.h"
#include "app/probe.h"
#include "pipeline/frames.h"

std::optional<std::string> arg(const std::vector<std::string>& args, const std::string& name) {
  const std::string key = "--" + name;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != key) continue;
    if (i + 1 < args.size()) return args[i + 1];
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<int64_t> parseInteger(const std::string& text) {
  // from_chars takes a leading '-' but not '+': a '+' is stepped over, a '-'
  // is left for it, which keeps INT64_MIN in range.
  const size_t start = !text.empty() && text[0] == '+' ? 1 : 0;
  const size_t digits = start + (text.size() > start && text[start] == '-' && start == 0 ? 1 : 0);
  if (digits == text.size()) return std::nullopt;
  for (size_t i = digits; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int64_t integerOption(const std::vector<std::string>& args, const std::string& name, int64_t fallback) {
  return parseInteger(arg(args, name).value_or("")).value_or(fallback);
}

namespace {

std::string failureText(const std::exception& error) {
  if (auto fail = dynamic_cast<const Fail*>(&error)) return fail->message;
  std::string text = error.what();
  return text.empty() ? "unexpected error" : text;
}

int runFrames(const std::vector<std::string>& args) {
  std::optional<std::string> video = arg(args, "video");
  if (!video) die("--video is required");
  RunSettings settings;
  settings.video = *video;
  settings.count = integerOption(args, "count", 6);
  settings.size = integerOption(args, "size", 512);
  settings.outDir = freshOutputDirectory(arg(args, "out"));
  Document result;
  try {
    result = frames(settings);
  } catch (const std::bad_alloc&) {
    die(kOutOfMemoryMessage);
  } catch (const std::exception& error) {
    die(failureText(error));
  }
  return emit(result) ? 0 : 1;
}

int runSelftest(const std::vector<std::string>& args) {
  std::optional<std::string> video = arg(args, "video");
  if (!video) die("--video is required");
  Document document{{"ok", true}, {"probe", probe()}};
  RunSettings settings{*video, 6, 512, temporaryDirectory() / "stillpick-selftest", false};
  try {
    document["frames"] = frames(settings);
  } catch (const std::bad_alloc&) {
    die(kOutOfMemoryMessage);  // the whole run is lost, not only its analysis
  } catch (const std::exception& error) {
    document["ok"] = false;
    document["error"] = failureText(error);
  }
  return emit(document) ? 0 : 1;
}

}  // namespace

int CLI::main(const std::vector<std::string>& args) {
  const std::string command = args.size() < 2 ? "probe" : args[1];
  if (command == "probe") return emit(probe()) ? 0 : 1;
  if (command == "frames") return runFrames(args);
  if (command == "curate") die("this build has no Foundation Models framework");
  if (command == "selftest") return runSelftest(args);
  die("unknown command " + command);
}
