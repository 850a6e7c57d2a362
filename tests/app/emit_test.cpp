#include "app/emit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(EncodeJson, WritesCompactSortedByteExactJson) {
  const std::vector<std::pair<Document, std::string>> cases = {
      {Document{{"b", Document{{"z", 1}, {"a", Document::array({2, Document{{"y", true}, {"x", nullptr}}})}}},
                {"a", -7}},
       R"({"a":-7,"b":{"a":[2,{"x":null,"y":true}],"z":1}})"},
      // Keys sort byte-wise: upper case before lower case, multibyte last.
      {Document{{"\xC3\xA9", 1}, {"b", 2}, {"B", 3}, {"_", 4}}, "{\"B\":3,\"_\":4,\"b\":2,\"\xC3\xA9\":1}"},
      {Document{{"s", "a/b\"c\\d\ne\tf\r\x01\x1F\x7F"}}, R"({"s":"a\/b\"c\\d\ne\tf\r\u0001\u001f\u007f"})"},
      {Document{{"s", "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"}},
       "{\"s\":\"Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80\"}"},
      // The shortest text that reads back as the same double.
      {Document{{"d", 30.0}, {"e", 0.5}, {"f", static_cast<double>(0.88f)}, {"g", -0.0}, {"h", 1e300}, {"i", 12.35},
                {"j", 5e-324}, {"k", 1.7976931348623157e308}, {"l", 1.0 / 3}, {"m", 123456789.125}},
       R"({"d":30.0,"e":0.5,"f":0.8799999952316284,"g":-0.0,"h":1e+300,"i":12.35,"j":5e-324,)"
       R"("k":1.7976931348623157e+308,"l":0.3333333333333333,"m":123456789.125})"},
      {Document{{"n", INT64_MIN}, {"m", INT64_MAX}, {"z", 0}},
       R"({"m":9223372036854775807,"n":-9223372036854775808,"z":0})"},
      {Document{{"empty", Document::object()}, {"list", Document::array()}}, R"({"empty":{},"list":[]})"},
  };
  for (const auto& [document, expected] : cases) EXPECT_EQ(encodeJson(document), expected);
}

TEST(EncodeJson, RefusesWhatJsonCannotHold) {
  const std::vector<Document> cases = {
      Document{{"x", NAN}},
      Document{{"x", Document{{"deep", Document::array({1, -INFINITY})}}}},
      Document{{"x", "bad \xFF byte"}},
      Document{{"bad\xC0\xAF", 1}},                  // overlong slash in a key
      Document{{"x", "\xED\xA0\x80"}},                // UTF-16 surrogate
      Document{{"x", "\xF4\x90\x80\x80"}},            // above U+10FFFF
      Document{{"x", "cut \xE2\x82"}},                // truncated sequence
      Document(3),
  };
  for (const auto& document : cases) EXPECT_EQ(encodeJson(document), std::nullopt) << document.type_name();
}

}  // namespace
