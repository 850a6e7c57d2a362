// Scores stillpick's frames documents against bench/quality/truth.json and
// prints the quality scoreboard.
//
//   score TRUTH.json DOCS_DIR [--detail FILE]   scoreboard on stdout
//   score --clips TRUTH.json                    the clip names, one a line
//
// DOCS_DIR holds one stillpick document per clip, CLIP.json (the one line that
// `stillpick frames --video CLIP.mp4 --count 30` printed).
//
// Definitions (every figure on the board follows from these):
//
// * A shot is a time range [from, to) of a clip. A kept frame lies in a shot
//   when from + 0.05 <= t < to - 0.05 (a frame this close to a cut is not
//   judged). A shot is covered when some kept frame lies in it. Only covered
//   shots are scored for labels, people and text: the score is about the
//   frames the tool keeps.
// * The judged frame of a covered shot is its kept frame nearest the middle
//   of the shot. People and labels are read from the judged frame.
// * Text is normalised before any comparison: leading and trailing spaces
//   removed, runs of white space made one space. Lengths and edit distances
//   (Levenshtein: insertions, deletions, substitutions) count Unicode code
//   points.
// * Truth lines. Each entry of a shot's "text" is a truth line, with its
//   accepted forms: the line itself and its "or" readings. A "row" entry
//   gives several truth lines on one baseline; any contiguous run of them
//   joined by spaces, each line in any of its accepted forms, is a run form
//   of each line in it.
// * Readings. The candidate readings of a shot are the lines read in its kept
//   frames, and every join (by one space) of 2 to 6 consecutive lines of one
//   frame, so a line read in pieces is still whole.
// * Exact: a truth line is exact when some candidate reading equals one of
//   its accepted forms or one of its run forms.
// * CER: for each truth line the best candidate gives a distance d: the edit
//   distance to an accepted form, or to a run form scaled by
//   len(line)/len(run), whichever is smaller, capped at len(line) (a line not
//   read at all costs its length). CER = sum of d / sum of len(line) over the
//   truth lines in scope.
// * Lines read: the distinct lines read in the kept frames of a shot (single
//   lines, no joins), summed over covered shots.
// * Junk: a line read is junk when it matches no truth line of that shot:
//   its edit distance exceeds 50% of the length of every accepted form, run
//   form and text_maybe line of the shot, and of every word-aligned piece of
//   those (a piece is a contiguous run of whole words; this spares lines read
//   in pieces).
// * Icon glyph junk: in shots marked "ui", a line read that is junk, or that
//   is not itself exactly a form or piece but becomes exactly one when a first
//   or last word of at most 2 characters is dropped (an icon read as a letter
//   in front of or after a label).
// * Labels: over covered shots with a main class. "among": the main class is
//   one of the judged frame's labels; "on top": it is the first label.
//   Confident but absent: pairs (clip, class) where some kept frame of a
//   covered shot has that class above 0.5 confidence and the class is neither
//   in that shot's "present" nor in its "maybe"; reported as a count and per
//   10 clips.
// * People: over covered shots whose count is known. Exact when the judged
//   frame's "people" equals the truth. Rows: 1-2 people (truth 1 or 2),
//   street walkers (people_set "walkers"), nobody in frame (truth 0), group
//   photo (people_set "group": within 20% of the truth).
// * Motion: the document's motion phrase is one of the clip's accepted ones.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using json = nlohmann::json;
using u32s = std::u32string;

namespace {

constexpr double kCutMargin = 0.05;
constexpr double kConfident = 0.5;
constexpr int kMaxJoin = 6;

u32s decode(const std::string& s) {
  u32s out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    char32_t cp = c;
    int extra = 0;
    if (c >= 0xF0) { cp = c & 0x07; extra = 3; }
    else if (c >= 0xE0) { cp = c & 0x0F; extra = 2; }
    else if (c >= 0xC0) { cp = c & 0x1F; extra = 1; }
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (s[i] & 0x3F);
    out.push_back(cp);
  }
  return out;
}

std::string normalise(const std::string& s) {
  std::string out;
  bool space = false;
  for (char c : s) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') { space = !out.empty(); continue; }
    if (space) out.push_back(' ');
    space = false;
    out.push_back(c);
  }
  return out;
}

size_t len(const std::string& s) { return decode(s).size(); }

size_t lev(const std::string& a8, const std::string& b8) {
  u32s a = decode(a8), b = decode(b8);
  std::vector<size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= b.size(); ++j)
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    std::swap(prev, cur);
  }
  return prev[b.size()];
}

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> w;
  std::istringstream in(s);
  for (std::string x; in >> x;) w.push_back(x);
  return w;
}

std::string join(const std::vector<std::string>& v, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to; ++i) { if (i > from) out += ' '; out += v[i]; }
  return out;
}

// One truth line of a shot.
struct Line {
  std::string text;                 // canonical
  std::vector<std::string> forms;   // text and its "or" readings
  std::vector<std::string> runs;    // joins of row neighbours containing it
};

struct Shot {
  std::string clip, what;
  double from = 0, to = 0;
  std::vector<Line> lines;
  std::vector<std::string> maybe_text;
  std::string text_set;
  bool ui = false;
  std::string main;  // empty: none
  std::set<std::string> present, maybe;
  int people = -1;   // -1: not countable
  std::string people_set;
};

struct Clip {
  std::string name;
  std::vector<std::string> motion;
  std::vector<Shot> shots;
};

Line line_from(const json& e) {
  Line l;
  if (e.is_string()) {
    l.text = normalise(e.get<std::string>());
    l.forms = {l.text};
  } else {
    l.text = normalise(e.at("line").get<std::string>());
    l.forms = {l.text};
    for (const auto& o : e.value("or", json::array())) l.forms.push_back(normalise(o.get<std::string>()));
  }
  return l;
}

std::vector<Clip> load_truth(const std::string& path) {
  std::ifstream in(path);
  if (!in) { std::cerr << "cannot read " << path << "\n"; std::exit(2); }
  json t = json::parse(in);
  std::vector<Clip> clips;
  for (const auto& c : t.at("clips")) {
    Clip clip;
    clip.name = c.at("clip");
    for (const auto& m : c.at("motion")) clip.motion.push_back(m);
    for (const auto& s : c.at("shots")) {
      Shot shot;
      shot.clip = clip.name;
      shot.what = s.value("what", "");
      shot.from = s.at("from");
      shot.to = s.at("to");
      for (const auto& e : s.value("text", json::array())) {
        if (e.is_object() && e.contains("row")) {
          std::vector<Line> row;
          for (const auto& piece : e.at("row")) row.push_back(line_from(piece));
          for (size_t i = 0; i < row.size(); ++i)
            for (size_t a = 0; a <= i; ++a)
              for (size_t b = i + 1; b <= row.size(); ++b) {
                if (b - a < 2) continue;
                // Every choice of accepted form for each line of the run.
                std::vector<std::string> joins = {""};
                for (size_t k = a; k < b; ++k) {
                  std::vector<std::string> longer;
                  for (const auto& j : joins)
                    for (const auto& f : row[k].forms) longer.push_back(k > a ? j + ' ' + f : f);
                  joins = std::move(longer);
                }
                for (auto& r : joins) row[i].runs.push_back(std::move(r));
              }
          for (auto& l : row) shot.lines.push_back(l);
        } else {
          shot.lines.push_back(line_from(e));
        }
      }
      // Distinct truth lines only: a line printed twice on screen is one line.
      std::vector<Line> uniq;
      std::set<std::string> seen;
      for (auto& l : shot.lines)
        if (seen.insert(l.text).second) uniq.push_back(l);
      shot.lines = uniq;
      for (const auto& m : s.value("text_maybe", json::array())) shot.maybe_text.push_back(normalise(m));
      shot.text_set = s.value("text_set", "");
      shot.ui = s.value("ui", false);
      if (s.contains("main") && !s["main"].is_null()) shot.main = s["main"];
      for (const auto& p : s.value("present", json::array())) shot.present.insert(p.get<std::string>());
      for (const auto& p : s.value("maybe", json::array())) shot.maybe.insert(p.get<std::string>());
      if (s.contains("people") && !s["people"].is_null()) shot.people = s["people"];
      shot.people_set = s.value("people_set", "");
      clip.shots.push_back(shot);
    }
    clips.push_back(clip);
  }
  return clips;
}

struct Frame {
  double t = 0;
  std::vector<std::pair<std::string, double>> labels;
  std::vector<std::string> text;
  int people = 0;
};

struct Doc {
  bool ok = false;
  std::string motion;  // empty: null or missing
  std::vector<Frame> frames;
};

Doc load_doc(const std::string& path) {
  Doc d;
  std::ifstream in(path);
  if (!in) return d;
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  json j = json::parse(s, nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.value("ok", false)) return d;
  d.ok = true;
  if (j.contains("motion") && j["motion"].is_string()) d.motion = j["motion"];
  for (const auto& f : j.value("frames", json::array())) {
    Frame fr;
    fr.t = f.value("t", 0.0);
    for (const auto& l : f.value("labels", json::array()))
      fr.labels.emplace_back(l.value("label", ""), l.value("confidence", 0.0));
    for (const auto& x : f.value("text", json::array())) {
      std::string n = normalise(x.get<std::string>());
      if (!n.empty()) fr.text.push_back(n);
    }
    fr.people = f.value("people", 0);
    d.frames.push_back(fr);
  }
  return d;
}

// Everything a line read in a shot may match without being junk.
struct Targets {
  std::vector<std::string> all;     // forms, runs, maybe lines, and their pieces
  std::set<std::string> exact_set;  // the same, for exact look-up
};

Targets targets_of(const Shot& s) {
  std::set<std::string> base;
  for (const auto& l : s.lines) {
    for (const auto& f : l.forms) base.insert(f);
    for (const auto& r : l.runs) base.insert(r);
  }
  for (const auto& m : s.maybe_text) base.insert(m);
  std::set<std::string> all;
  for (const auto& b : base) {
    auto w = words(b);
    for (size_t a = 0; a < w.size(); ++a)
      for (size_t e = a + 1; e <= w.size(); ++e) all.insert(join(w, a, e));
  }
  Targets t;
  t.all.assign(all.begin(), all.end());
  t.exact_set = all;
  return t;
}

bool matches_any(const std::string& r, const Targets& t) {
  size_t lr = len(r);
  for (const auto& f : t.all) {
    size_t lf = len(f);
    // A cheap bound first: the distance is at least the length difference.
    size_t diff = lr > lf ? lr - lf : lf - lr;
    if (2 * diff > lf) continue;
    if (2 * lev(r, f) <= lf) return true;
  }
  return false;
}

bool glyph_junk(const std::string& r, const Targets& t, bool junk) {
  if (junk) return true;
  if (t.exact_set.count(r)) return false;
  auto w = words(r);
  if (w.size() < 2) return false;
  if (len(w.front()) <= 2 && t.exact_set.count(join(w, 1, w.size()))) return true;
  if (len(w.back()) <= 2 && t.exact_set.count(join(w, 0, w.size() - 1))) return true;
  return false;
}

struct Tally {
  size_t exact = 0, total = 0;   // truth lines
  double dist = 0, chars = 0;    // for CER
  size_t read = 0, junk = 0;     // lines read
  double cer() const { return chars > 0 ? dist / chars : 0; }
};

struct Count { size_t n = 0, of = 0; };

std::string pct(size_t a, size_t b) {
  if (b == 0) return "n/a";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f%%", 100.0 * a / b);
  return buf;
}

std::string fix(double v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--clips") {
    for (const auto& c : load_truth(argv[2])) std::cout << c.name << "\n";
    return 0;
  }
  if (argc < 3) {
    std::cerr << "usage: score TRUTH.json DOCS_DIR [--detail FILE] | score --clips TRUTH.json\n";
    return 2;
  }
  std::string detail_path;
  for (int i = 3; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--detail") detail_path = argv[i + 1];
  auto clips = load_truth(argv[1]);
  std::string dir = argv[2];
  std::ostringstream detail;

  Tally overall, sc1024, sc1080, signs;
  size_t ui_read = 0, ui_glyph = 0;
  Count cover, among, top, motion, p12, pwalk, pnone;
  size_t absent = 0;
  std::vector<std::string> group_results;
  std::vector<std::string> per_clip;

  for (const auto& clip : clips) {
    Doc doc = load_doc(dir + "/" + clip.name + ".json");
    motion.of++;
    bool motion_ok = doc.ok && std::find(clip.motion.begin(), clip.motion.end(), doc.motion) != clip.motion.end();
    if (motion_ok) motion.n++;
    std::set<std::string> clip_absent;
    size_t c_cov = 0, c_ex = 0, c_tot = 0, c_junk = 0, c_people = 0, c_people_of = 0, c_top = 0, c_top_of = 0;
    detail << "== " << clip.name << "  motion: " << (doc.ok ? (doc.motion.empty() ? "null" : doc.motion) : "(no document)")
           << (motion_ok ? "  [right]" : "  [wrong]") << "\n";

    for (const auto& shot : clip.shots) {
      cover.of++;
      std::vector<const Frame*> in;
      for (const auto& f : doc.frames)
        if (f.t >= shot.from + kCutMargin && f.t < shot.to - kCutMargin) in.push_back(&f);
      detail << "  [" << shot.from << "," << shot.to << ") " << shot.what << "\n";
      if (in.empty()) {
        detail << "    not covered\n";
        continue;
      }
      cover.n++;
      c_cov++;
      double mid = (shot.from + shot.to) / 2;
      const Frame* judged = *std::min_element(in.begin(), in.end(), [&](const Frame* a, const Frame* b) {
        return std::fabs(a->t - mid) < std::fabs(b->t - mid);
      });
      detail << "    frames at";
      for (auto* f : in) detail << " " << f->t;
      detail << "; judged " << judged->t << "\n";

      // Labels.
      if (!shot.main.empty()) {
        among.of++;
        top.of++;
        c_top_of++;
        bool is_among = std::any_of(judged->labels.begin(), judged->labels.end(),
                                    [&](const auto& l) { return l.first == shot.main; });
        bool is_top = !judged->labels.empty() && judged->labels.front().first == shot.main;
        if (is_among) among.n++;
        if (is_top) { top.n++; c_top++; }
      }
      std::set<std::string> wrong;
      for (auto* f : in)
        for (const auto& l : f->labels)
          if (l.second > kConfident && !shot.present.count(l.first) && !shot.maybe.count(l.first)) wrong.insert(l.first);
      clip_absent.insert(wrong.begin(), wrong.end());
      detail << "    labels:";
      for (const auto& l : judged->labels) detail << " " << l.first << "=" << fix(l.second, 2);
      if (!shot.main.empty()) detail << "  (main " << shot.main << ")";
      for (const auto& w : wrong) detail << "  ABSENT " << w;
      detail << "\n";

      // People.
      if (shot.people >= 0) {
        bool ok = judged->people == shot.people;
        c_people_of++;
        if (ok) c_people++;
        if (shot.people_set == "group") {
          bool near = std::abs(judged->people - shot.people) <= 0.2 * shot.people;
          group_results.push_back(std::to_string(judged->people) + " of " + std::to_string(shot.people) +
                                  (near ? " (within 20%)" : " (off by more than 20%)"));
        } else if (shot.people_set == "walkers") {
          pwalk.of++;
          if (ok) pwalk.n++;
        } else if (shot.people == 1 || shot.people == 2) {
          p12.of++;
          if (ok) p12.n++;
        } else if (shot.people == 0) {
          pnone.of++;
          if (ok) pnone.n++;
        }
        detail << "    people: " << judged->people << " (truth " << shot.people << ")\n";
      }

      // Text.
      std::vector<std::string> cands;
      std::set<std::string> read;
      for (auto* f : in) {
        for (const auto& l : f->text) read.insert(l);
        for (size_t a = 0; a < f->text.size(); ++a)
          for (size_t b = a + 1; b <= f->text.size() && b - a <= kMaxJoin; ++b) cands.push_back(join(f->text, a, b));
      }
      std::sort(cands.begin(), cands.end());
      cands.erase(std::unique(cands.begin(), cands.end()), cands.end());
      Tally t;
      for (const auto& line : shot.lines) {
        double L = len(line.text);
        double best = L;
        const std::string* nearest = nullptr;
        for (const auto& c : cands) {
          double before = best;
          for (const auto& f : line.forms) best = std::min(best, double(lev(c, f)));
          for (const auto& r : line.runs) {
            size_t d = lev(c, r);
            best = std::min(best, d == 0 ? 0.0 : d * L / len(r));
          }
          if (best < before) nearest = &c;
          if (best == 0) break;
        }
        best = std::min(best, L);
        t.total++;
        t.chars += L;
        t.dist += best;
        if (best == 0) t.exact++;
        else {
          detail << "    missed: \"" << line.text << "\" (distance " << fix(best, 1);
          if (nearest) detail << ", nearest \"" << *nearest << "\"";
          detail << ")\n";
        }
      }
      Targets targets = targets_of(shot);
      for (const auto& r : read) {
        bool junk = !matches_any(r, targets);
        t.read++;
        if (junk) { t.junk++; detail << "    junk: \"" << r << "\"\n"; }
        if (shot.ui) {
          ui_read++;
          if (glyph_junk(r, targets, junk)) { ui_glyph++; if (!junk) detail << "    glyph: \"" << r << "\"\n"; }
        }
      }
      auto add = [&](Tally& into) {
        into.exact += t.exact; into.total += t.total; into.dist += t.dist; into.chars += t.chars;
        into.read += t.read; into.junk += t.junk;
      };
      add(overall);
      if (shot.text_set == "screencast-1024") add(sc1024);
      if (shot.text_set == "screencast-1080") add(sc1080);
      if (shot.text_set == "signs") add(signs);
      c_ex += t.exact;
      c_tot += t.total;
      c_junk += t.junk;
    }
    absent += clip_absent.size();
    std::ostringstream row;
    row << "| " << clip.name << " | " << c_cov << "/" << clip.shots.size() << " | ";
    row << (c_tot ? std::to_string(c_ex) + "/" + std::to_string(c_tot) : "-") << " | " << c_junk << " | ";
    row << (c_people_of ? std::to_string(c_people) + "/" + std::to_string(c_people_of) : "-") << " | ";
    row << (c_top_of ? std::to_string(c_top) + "/" + std::to_string(c_top_of) : "-") << " | ";
    std::string names;
    for (const auto& a : clip_absent) names += (names.empty() ? "" : ", ") + a;
    row << (names.empty() ? "-" : names) << " | ";
    row << (doc.ok ? (doc.motion.empty() ? "null" : doc.motion) : "(failed)") << (motion_ok ? "" : " (wrong)") << " |";
    per_clip.push_back(row.str());
  }

  auto frac = [](const Count& c) { return std::to_string(c.n) + "/" + std::to_string(c.of); };
  auto frac_t = [](const Tally& t) { return std::to_string(t.exact) + "/" + std::to_string(t.total); };
  double per10 = clips.empty() ? 0 : 10.0 * absent / clips.size();

  std::cout << "| analysis | measured | goal |\n";
  std::cout << "|---|---|---|\n";
  std::cout << "| text, overall | " << pct(overall.exact, overall.total) << " lines exact (" << frac_t(overall)
            << "), CER " << fix(overall.cer(), 3) << ", junk " << pct(overall.junk, overall.read) << " of "
            << overall.read << " lines read | >= 75% lines exact, CER <= 0.10, junk <= 5% of lines read |\n";
  std::cout << "| text, a screencast at 1024x768 | " << frac_t(sc1024) << " exact, CER " << fix(sc1024.cer(), 3)
            << " | keep |\n";
  std::cout << "| text, the same screencast placed on a 1920x1080 canvas | " << frac_t(sc1080) << " exact ("
            << pct(sc1080.exact, sc1080.total) << "), CER " << fix(sc1080.cer(), 3) << " | >= 80% exact |\n";
  std::cout << "| text, signs in street photos | " << pct(signs.exact, signs.total) << " exact (" << frac_t(signs)
            << "), CER " << fix(signs.cer(), 3) << " | >= 60% |\n";
  std::cout << "| text, UI icons read as letters | " << ui_glyph << " lines with icon glyph junk (junk, or a label with a glyph stuck on; of "
            << ui_read << " lines read in UI shots) | none |\n";
  std::cout << "| people, 1-2 people | " << frac(p12) << " shots exact | keep |\n";
  std::cout << "| people, street scenes with 4-9 walkers (25-130 px tall, most 50-90) | " << frac(pwalk) << " shots exact | >= 12/14 |\n";
  std::cout << "| people, group photo of many people | "
            << (group_results.empty() ? std::string("no material") : [&] {
                 std::string s;
                 for (const auto& g : group_results) s += (s.empty() ? "" : "; ") + g;
                 return s;
               }())
            << " | within 20% |\n";
  std::cout << "| people, nobody in frame | " << frac(pnone) << " shots exact (0 people) | |\n";
  std::cout << "| labels, right class among labels | " << frac(among) << " | keep |\n";
  std::cout << "| labels, right class on top | " << frac(top) << " | keep |\n";
  std::cout << "| labels, confident (> 0.5) but absent | " << absent << " in " << clips.size() << " clips ("
            << fix(per10, 1) << " per 10 clips) | <= 1 per 10 clips |\n";
  std::cout << "| shots covered (some kept frame lies in the shot) | " << frac(cover) << " | |\n";
  std::cout << "| motion | " << frac(motion) << " right phrase | |\n";
  std::cout << "\n| clip | shots covered | text lines exact | junk lines | people exact | main label on top | confident but absent | motion |\n";
  std::cout << "|---|---|---|---|---|---|---|---|\n";
  for (const auto& r : per_clip) std::cout << r << "\n";

  if (!detail_path.empty()) {
    std::ofstream out(detail_path);
    out << detail.str();
  }
  return 0;
}
