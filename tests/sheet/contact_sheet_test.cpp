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

TEST(EscapeHtml, EscapesMarkupAndRepairsText) {
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  struct Case { std::string in, out; } cases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"'&<>", "&quot;&#39;&amp;&lt;&gt;"},
      {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xA5", "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xA5"},
      {"a\xFF" "b", "a" + bad + "b"},
      {"\xC0\xAF", bad + bad},                  // overlong '/'
      {"\xED\xA0\x80", bad + bad + bad},        // surrogate
      {std::string("a\0b\x1B", 4), "a" + bad + "b" + bad},
  };
  for (const Case& c : cases) EXPECT_EQ(escapeHtml(c.in), c.out) << c.in;
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
      {"invalid UTF-8 in a line and a name", {"{\"ok\":false,\"error\":\"bad \xFF\"}"}, {"clip\xFE.mp4"},
       {"not valid JSON", "bad \xEF\xBF\xBD", "clip\xEF\xBF\xBD.mp4"}, {"\xFF", "\xFE"}},
      {"missing and unreadable frames",
       {R"({"ok":true,"frames":[{"path":"\/gone.jpg","t":1},{"path":"\/f\/notes.txt","t":2}],"motion":"almost still"})"},
       {}, {"class=\"missing\"", ">missing<small>/gone.jpg", ">unreadable<small>/f/notes.txt", "almost still"}, {"<img"}},
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
