#include "sheet/contact_sheet.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <map>

namespace {

std::string makeJpeg(int width, int height) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 7 % 251);
  tjhandle encoder = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(encoder, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0), 0);
  std::string jpeg(reinterpret_cast<char*>(out), size);
  tjFree(out);
  tjDestroy(encoder);
  return jpeg;
}

// Width and height of the JPEG inside a data: URI, 0x0 when it is none.
std::pair<int, int> uriPictureSize(const std::string& uri) {
  const std::string prefix = "data:image/jpeg;base64,";
  if (uri.rfind(prefix, 0) != 0) return {0, 0};
  std::string bytes;
  unsigned bits = 0, held = 0;
  for (char c : uri.substr(prefix.size())) {
    auto digit = std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/").find(c);
    if (digit == std::string::npos) break;
    bits = bits << 6 | static_cast<unsigned>(digit), held += 6;
    if (held >= 8) bytes += static_cast<char>(bits >> (held -= 8) & 0xFF);
  }
  tjhandle decoder = tjInitDecompress();
  int w = 0, h = 0, sub = 0, space = 0;
  tjDecompressHeader3(decoder, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), &w, &h, &sub, &space);
  tjDestroy(decoder);
  return {w, h};
}

TEST(EscapeHtml, EscapesMarkupAndRepairsText) {
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  struct Case { std::string in, out; } cases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"'&<>", "&quot;&#39;&amp;&lt;&gt;"},
      {"&amp;", "&amp;amp;"},
      {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xA5", "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xA5"},
      {"a\xFF" "b", "a" + bad + "b"},
      {"\xC0\xAF", bad + bad},                  // overlong '/'
      {"\xED\xA0\x80", bad + bad + bad},        // surrogate
      {"\xE6\x97", bad + bad},                  // cut short
      {std::string("a\0b\x1B", 4), "a" + bad + "b" + bad},
      {"tab\there\nnext", "tab\there\nnext"},
  };
  for (const Case& c : cases) EXPECT_EQ(escapeHtml(c.in), c.out) << c.in;
}

TEST(ThumbnailDataUri, ScalesEmbedsOrRefuses) {
  const std::string large = makeJpeg(512, 288), small = makeJpeg(100, 60);
  struct Case { std::string name, jpeg; bool uri; int maxWidth, minWidth; } cases[] = {
      {"large is scaled down", large, true, 240, 100},
      {"small stays as it is", small, true, 100, 100},
      {"cut short still shows", large.substr(0, large.size() / 2), true, 240, 100},
      {"not a JPEG", "GIF89a not a picture at all", false, 0, 0},
      {"empty", "", false, 0, 0},
  };
  for (const Case& c : cases) {
    auto uri = thumbnailDataUri(c.jpeg);
    ASSERT_EQ(uri.has_value(), c.uri) << c.name;
    if (!uri) continue;
    auto [w, h] = uriPictureSize(*uri);
    EXPECT_LE(w, c.maxWidth) << c.name;
    EXPECT_GE(w, c.minWidth) << c.name;
    EXPECT_GT(h, 0) << c.name;
  }
}

TEST(RenderSheet, EscapesAndSurvivesEveryKindOfLine) {
  const std::map<std::string, std::string> files = {{"/f/a\"b'.jpg", makeJpeg(320, 180)},
                                                    {"/f/notes.txt", "plain text"}};
  FileReader read = [&](const std::string& path) -> std::optional<std::string> {
    auto it = files.find(path);
    return it == files.end() ? std::nullopt : std::optional(it->second);
  };
  const std::string hostile =
      R"({"ok":true,"facts":{"duration_s":16.0,"fps":29.969999313354492,"height":720,"vertical":false,"width":1280},)"
      R"("frames":[{"labels":[{"confidence":0.91,"label":"<script>alert(1)</script>"}],"path":"\/f\/a\"b'.jpg",)"
      R"("people":2,"t":4.16,"text":["\"'&<>"]}],"motion":null,"vision":{"labels":[],"people":2,"text":["\"'&<>"]}})";
  struct Case {
    std::string name;
    std::vector<std::string> lines, names, present, absent;
  } cases[] = {
      {"hostile label, text and path", {hostile}, {"<b>clip</b>.mp4"},
       {"&lt;script&gt;alert(1)&lt;/script&gt;", "<li>&quot;&#39;&amp;&lt;&gt;</li>", "title=\"/f/a&quot;b&#39;.jpg\"",
        "&lt;b&gt;clip&lt;/b&gt;.mp4", "<img src=\"data:image/jpeg;base64,", "29.97", "1280 \u00d7 720",
        "t 4.16 s", "not measured", "0.91"},
       {"<script", "<b>", "a\"b", "class=\"missing\""}},
      {"failed document", {R"({"error":"cannot open <x>: No such file","ok":false})"}, {},
       {"clip failed", "clip 1", "cannot open &lt;x&gt;: No such file"}, {"<x>"}},
      {"malformed line", {"{\"ok\":true,<img src=x onerror=alert(1)>"}, {},
       {"clip unreadable", "not valid JSON", "&lt;img src=x onerror=alert(1)&gt;"}, {"<img"}},
      {"JSON that is no document", {"[1,2]", "{\"ok\":\"yes\"}"}, {}, {"not a frames document", "2 unreadable"}, {}},
      {"invalid UTF-8 in a line and a name", {"{\"ok\":false,\"error\":\"bad \xFF\"}"}, {"clip\xFE.mp4"},
       {"not valid JSON", "bad \xEF\xBF\xBD", "clip\xEF\xBF\xBD.mp4"}, {"\xFF", "\xFE"}},
      {"missing and unreadable frames",
       {R"({"ok":true,"frames":[{"path":"\/gone.jpg","t":1},{"path":"\/f\/notes.txt","t":2}],"motion":"almost still"})"},
       {}, {"class=\"missing\"", ">missing<small>/gone.jpg", ">unreadable<small>/f/notes.txt", "almost still"}, {"<img"}},
      {"fields of the wrong type", {R"({"ok":true,"facts":"x","frames":[1,{"t":"a","labels":{}}],"vision":[]})"}, {},
       {"clip analysed", "t 0.00 s"}, {}},
      {"long line", {std::string(100000, 'x')}, {}, {"(100000 bytes)"}, {std::string(301, 'x')}},
      {"more clips than lines", {hostile}, {"a.mp4", "b.mp4"}, {"1 clip without a result", "no line 2"}, {}},
      {"empty input", {}, {}, {"No results"}, {"<section"}},
  };
  for (const Case& c : cases) {
    std::string page = renderSheet(c.lines, c.names, read);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u) << c.name;
    EXPECT_EQ(page.substr(page.size() - 15), "</body></html>\n") << c.name;
    for (const std::string& text : c.present) EXPECT_NE(page.find(text), std::string::npos) << c.name << ": " << text;
    for (const std::string& text : c.absent) EXPECT_EQ(page.find(text), std::string::npos) << c.name << ": " << text;
  }
}

}  // namespace
