#include "sheet/contact_sheet.h"

#include "base/utf8.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

std::string base64(std::string_view bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  auto at = [&](size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    out += {digits[v >> 18], digits[v >> 12 & 63], digits[v >> 6 & 63], digits[v & 63]};
  }
  if (i + 1 == bytes.size()) {
    unsigned v = at(i) << 16;
    out += {digits[v >> 18], digits[v >> 12 & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    unsigned v = at(i) << 16 | at(i + 1) << 8;
    out += {digits[v >> 18], digits[v >> 12 & 63], digits[v >> 6 & 63], '='};
  }
  return out;
}

std::string jpegUri(std::string_view bytes) { return "data:image/jpeg;base64," + base64(bytes); }

struct TjDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// A decoded picture larger than this is not worth a thumbnail: the bytes are
// embedded as they are and the page scales them down.
constexpr long long kMaxScaledPixels = 4096LL * 4096;

std::optional<std::string> scaledJpeg(std::string_view jpeg, int maxSide, int width, int height,
                                      int colourspace) {
  int count = 0;
  tjscalingfactor* factors = tjGetScalingFactors(&count);
  if (!factors || count <= 0) return std::nullopt;
  // The largest picture that fits maxSide, else the smallest there is.
  int bestW = 0, bestH = 0, smallestW = 0, smallestH = 0;
  for (int k = 0; k < count; ++k) {
    int w = TJSCALED(width, factors[k]), h = TJSCALED(height, factors[k]);
    if (smallestW == 0 || w * 1LL * h < smallestW * 1LL * smallestH) smallestW = w, smallestH = h;
    if (std::max(w, h) <= maxSide && w * 1LL * h > bestW * 1LL * bestH) bestW = w, bestH = h;
  }
  if (bestW == 0) bestW = smallestW, bestH = smallestH;
  if (bestW <= 0 || bestH <= 0 || bestW * 1LL * bestH > kMaxScaledPixels) return std::nullopt;

  const bool grey = colourspace == TJCS_GRAY;
  const int format = grey ? TJPF_GRAY : TJPF_RGB;
  const int pitch = bestW * tjPixelSize[format];
  std::vector<unsigned char> pixels(static_cast<size_t>(pitch) * bestH);
  TjHandle decoder(tjInitDecompress());
  if (!decoder) return std::nullopt;
  auto* source = reinterpret_cast<const unsigned char*>(jpeg.data());
  if (tjDecompress2(decoder.get(), source, jpeg.size(), pixels.data(), bestW, pitch, bestH, format,
                    0) != 0 &&
      tjGetErrorCode(decoder.get()) != TJERR_WARNING)  // a cut-short file still shows its top
    return std::nullopt;

  TjHandle encoder(tjInitCompress());
  if (!encoder) return std::nullopt;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  if (tjCompress2(encoder.get(), pixels.data(), bestW, pitch, bestH, format, &out, &outSize,
                  grey ? TJSAMP_GRAY : TJSAMP_420, 80, 0) != 0) {
    tjFree(out);
    return std::nullopt;
  }
  std::string result(reinterpret_cast<const char*>(out), outSize);
  tjFree(out);
  return result;
}

// --- reading a document -----------------------------------------------------

const json* member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::optional<double> number(const json& object, const char* key) {
  const json* value = member(object, key);
  if (!value || !value->is_number()) return std::nullopt;
  return value->get<double>();
}

std::optional<std::string> string(const json& object, const char* key) {
  const json* value = member(object, key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::vector<std::string> strings(const json& object, const char* key) {
  std::vector<std::string> out;
  const json* value = member(object, key);
  if (value && value->is_array())
    for (const json& item : *value)
      if (item.is_string()) out.push_back(item.get<std::string>());
  return out;
}

std::vector<Label> labels(const json& object) {
  std::vector<Label> out;
  const json* value = member(object, "labels");
  if (value && value->is_array())
    for (const json& item : *value)
      if (auto name = string(item, "label")) out.push_back({*name, number(item, "confidence").value_or(0)});
  return out;
}

std::optional<long long> count(const json& object, const char* key) {
  auto value = number(object, key);
  if (!value || !(*value >= -1e15 && *value <= 1e15)) return std::nullopt;
  return static_cast<long long>(*value);
}

// --- writing the page ---------------------------------------------------------

std::string fixed(double value, int decimals) {
  char text[400];  // %.2f of the largest double has 312 characters
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string optionalFixed(const std::optional<double>& value, int decimals, const char* unit = "") {
  return value ? fixed(*value, decimals) + unit : "\u2014";
}

void appendLabels(std::string& out, const std::vector<Label>& list) {
  if (list.empty()) return;
  out += "<ul class=\"labels\">";
  for (const Label& label : list)
    out += "<li>" + escapeHtml(label.label) + " <span class=\"conf\">" +
           escapeHtml(fixed(label.confidence, 2)) + "</span></li>";
  out += "</ul>";
}

void appendText(std::string& out, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  out += "<ul class=\"text\">";
  for (const std::string& line : lines) out += "<li>" + escapeHtml(line) + "</li>";
  out += "</ul>";
}

void appendFrame(std::string& out, const FrameRecord& frame, const FileReader& readFile) {
  const std::string time = fixed(frame.t, 2);
  out += "<li class=\"frame\"><figure>";
  std::optional<std::string> bytes;
  if (!frame.path.empty()) bytes = readFile(frame.path);
  std::optional<std::string> uri = bytes ? thumbnailDataUri(*bytes) : std::nullopt;
  if (uri)
    out += "<img src=\"" + escapeHtml(*uri) + "\" alt=\"" + escapeHtml("frame at " + time + " s") +
           "\" title=\"" + escapeHtml(frame.path) + "\">";
  else
    out += "<div class=\"missing\" title=\"" + escapeHtml(frame.path) + "\">" +
           (bytes ? "unreadable" : "missing") + "<small>" + escapeHtml(frame.path) + "</small></div>";
  out += "<figcaption><span class=\"t\">t " + escapeHtml(time) + " s</span>";
  out += " <span class=\"people\">people " + escapeHtml(std::to_string(frame.people)) + "</span>";
  appendLabels(out, frame.labels);
  appendText(out, frame.text);
  out += "</figcaption></figure></li>";
}

void appendClip(std::string& out, size_t number, const std::string& name, const ClipEntry& clip,
                const std::string& line, const FileReader& readFile) {
  static const char* const kinds[] = {"analysed", "failed", "unreadable"};
  const char* kind = kinds[static_cast<int>(clip.kind)];
  out += "<section class=\"clip " + std::string(kind) + "\" id=\"clip-" + std::to_string(number) +
         "\"><h2><span class=\"n\">" + std::to_string(number) + "</span> " + escapeHtml(name) +
         " <span class=\"kind\">" + kind + "</span></h2>";
  if (clip.kind == ClipEntry::Kind::unreadable) {
    constexpr size_t kExcerpt = 300;
    std::string excerpt = line.substr(0, kExcerpt);
    out += "<p class=\"error\">line " + std::to_string(number) + ": " + escapeHtml(clip.error) +
           "</p><pre class=\"line\">" + escapeHtml(excerpt) +
           (line.size() > kExcerpt ? "\u2026 (" + std::to_string(line.size()) + " bytes)" : "") +
           "</pre></section>";
    return;
  }
  if (clip.kind == ClipEntry::Kind::failed) {
    out += "<p class=\"error\">" + escapeHtml(clip.error) + "</p></section>";
    return;
  }
  std::string size = clip.width && clip.height ? fixed(*clip.width, 0) + " \u00d7 " + fixed(*clip.height, 0)
                                               : "\u2014";
  std::string vertical = clip.vertical ? (*clip.vertical ? "yes" : "no") : "\u2014";
  out += "<dl class=\"facts\"><div><dt>duration</dt><dd>" + escapeHtml(optionalFixed(clip.duration, 2, " s")) +
         "</dd></div><div><dt>size</dt><dd>" + escapeHtml(size) + "</dd></div><div><dt>fps</dt><dd>" +
         escapeHtml(optionalFixed(clip.fps, 2)) + "</dd></div><div><dt>vertical</dt><dd>" + vertical +
         "</dd></div><div><dt>people</dt><dd>" +
         escapeHtml(clip.people ? std::to_string(*clip.people) : "\u2014") + "</dd></div></dl>";
  out += "<p class=\"motion\">motion: " + escapeHtml(clip.motion.value_or("not measured")) + "</p>";
  appendLabels(out, clip.labels);
  appendText(out, clip.text);
  if (clip.frames.empty()) {
    out += "<p class=\"none\">no frames kept</p></section>";
    return;
  }
  out += "<ol class=\"frames\">";
  for (const FrameRecord& frame : clip.frames) appendFrame(out, frame, readFile);
  out += "</ol></section>";
}

std::string counted(size_t n, const std::string& noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

constexpr const char* kStyle = R"(
body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#222;background:#fafafa;overflow-wrap:anywhere}
h1{font-size:1.4em;margin:0 0 .3em}
.summary{color:#555;margin:0 0 1.2em}
.clip{background:#fff;border:1px solid #ddd;border-radius:6px;padding:.8em 1em;margin:0 0 1em}
.clip h2{font-size:1.1em;margin:0 0 .5em}
.clip h2 .n{color:#888;margin-right:.3em}
.kind{font-size:.75em;font-weight:normal;padding:.1em .5em;border-radius:3px;background:#e6f2e6;color:#256029}
.failed{border-color:#e0b4b4}.failed .kind{background:#fbeaea;color:#9f3a38}
.unreadable{border-color:#e0cc94}.unreadable .kind{background:#fff6dc;color:#7a5c00}
.error{color:#9f3a38;margin:.2em 0}
pre.line{white-space:pre-wrap;background:#f4f4f4;padding:.4em;margin:.3em 0 0;font-size:.85em}
.facts{display:flex;flex-wrap:wrap;gap:.3em 1.5em;margin:0 0 .4em}
.facts div{display:flex;gap:.4em}.facts dt{color:#777}.facts dd{margin:0}
.motion{margin:.2em 0 .4em}
ul.labels,ul.text{list-style:none;padding:0;margin:.3em 0;display:flex;flex-wrap:wrap;gap:.3em}
ul.labels li{background:#eef3fb;border-radius:3px;padding:0 .4em}
ul.text li{background:#f6f0e0;border-radius:3px;padding:0 .4em;font-family:monospace}
.conf{color:#667}
ol.frames{list-style:none;padding:0;margin:.6em 0 0;display:flex;flex-wrap:wrap;gap:.8em}
.frame{width:240px}.frame figure{margin:0}
.frame img{display:block;max-width:240px;max-height:240px;border-radius:3px}
.missing{width:240px;height:135px;display:flex;flex-direction:column;align-items:center;justify-content:center;
background:repeating-linear-gradient(45deg,#f3f3f3,#f3f3f3 8px,#e7e7e7 8px,#e7e7e7 16px);
border:2px dashed #c66;color:#a33;font-weight:bold;text-align:center;border-radius:3px}
.missing small{font-weight:normal;color:#777;font-size:.75em;padding:0 .5em;max-width:220px}
figcaption{font-size:.85em;margin-top:.2em}
.t{font-weight:bold}
)";

}  // namespace

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Utf8Char character = utf8CharAt(text, i);
    const size_t length = character.length;
    if (character.codepoint < 0) {
      out += "\uFFFD";
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    }
    char c = text[i++];
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\t': case '\n': case '\r': out += c; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) out += "\uFFFD";
        else out += c;
    }
  }
  return out;
}

std::optional<std::string> thumbnailDataUri(std::string_view jpeg, int maxSide) {
  TjHandle decoder(tjInitDecompress());
  if (!decoder || jpeg.empty()) return std::nullopt;
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(decoder.get(), reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(),
                          &width, &height, &subsampling, &colourspace) != 0 ||
      width <= 0 || height <= 0)
    return std::nullopt;
  if (std::max(width, height) <= maxSide) return jpegUri(jpeg);
  if (auto small = scaledJpeg(jpeg, maxSide, width, height, colourspace)) return jpegUri(*small);
  return jpegUri(jpeg);
}

ClipEntry parseLine(const std::string& line) {
  ClipEntry clip;
  json document = json::parse(line, nullptr, false);
  if (document.is_discarded()) {
    clip.error = "not valid JSON";
    return clip;
  }
  const json* ok = member(document, "ok");
  if (!ok || !ok->is_boolean()) {
    clip.error = "not a frames document";
    return clip;
  }
  if (!ok->get<bool>()) {
    clip.kind = ClipEntry::Kind::failed;
    clip.error = string(document, "error").value_or("failed without a reason");
    return clip;
  }
  clip.kind = ClipEntry::Kind::analysed;
  if (const json* facts = member(document, "facts")) {
    clip.duration = number(*facts, "duration_s");
    clip.width = number(*facts, "width");
    clip.height = number(*facts, "height");
    clip.fps = number(*facts, "fps");
    if (const json* vertical = member(*facts, "vertical"); vertical && vertical->is_boolean())
      clip.vertical = vertical->get<bool>();
  }
  clip.motion = string(document, "motion");
  if (const json* vision = member(document, "vision")) {
    clip.labels = labels(*vision);
    clip.text = strings(*vision, "text");
    clip.people = count(*vision, "people");
  }
  if (const json* frames = member(document, "frames"); frames && frames->is_array())
    for (const json& item : *frames) {
      if (!item.is_object()) continue;
      FrameRecord frame;
      frame.t = number(item, "t").value_or(0);
      frame.path = string(item, "path").value_or("");
      frame.labels = labels(item);
      frame.text = strings(item, "text");
      frame.people = count(item, "people").value_or(0);
      clip.frames.push_back(std::move(frame));
    }
  return clip;
}

std::string renderSheet(const std::vector<std::string>& lines,
                        const std::vector<std::string>& clipNames, const FileReader& readFile) {
  std::vector<ClipEntry> clips;
  size_t analysed = 0, failed = 0, unreadable = 0;
  for (const std::string& line : lines) {
    clips.push_back(parseLine(line));
    switch (clips.back().kind) {
      case ClipEntry::Kind::analysed: ++analysed; break;
      case ClipEntry::Kind::failed: ++failed; break;
      case ClipEntry::Kind::unreadable: ++unreadable; break;
    }
  }
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>stillpick contact sheet</title><style>";
  out += kStyle;
  out += "</style></head><body>\n<h1>Contact sheet</h1>\n<p class=\"summary\">";
  const size_t missing = clipNames.size() > lines.size() ? clipNames.size() - lines.size() : 0;
  if (lines.empty() && clipNames.empty()) {
    out += "No results: the input has no lines.</p>\n</body></html>\n";
    return out;
  }
  out += counted(lines.size(), "result line") + ": " + std::to_string(analysed) + " analysed, " +
         std::to_string(failed) + " failed, " + std::to_string(unreadable) + " unreadable";
  if (missing) out += ", " + counted(missing, "clip") + " without a result";
  out += "</p>\n";
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string name = i < clipNames.size() ? clipNames[i] : "clip " + std::to_string(i + 1);
    appendClip(out, i + 1, name, clips[i], lines[i], readFile);
    out += '\n';
  }
  for (size_t i = lines.size(); i < clipNames.size(); ++i)
    out += "<section class=\"clip unreadable\" id=\"clip-" + std::to_string(i + 1) + "\"><h2><span class=\"n\">" +
           std::to_string(i + 1) + "</span> " + escapeHtml(clipNames[i]) +
           " <span class=\"kind\">no result</span></h2><p class=\"error\">the results have no line " +
           std::to_string(i + 1) + "</p></section>\n";
  out += "</body></html>\n";
  return out;
}
