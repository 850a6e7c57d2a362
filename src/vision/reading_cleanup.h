#pragma once
#include <string>
#include <string_view>

// Tesseract's reading of one line crop (valid UTF-8), less what is not
// writing:
// - a first or last word that is a single punctuation mark or symbol stands
//   for an icon, a check box or a border beside the line and is dropped
//   ("| Places" gives "Places", "color: |" gives "color:"); the marks that
//   start real lines (a shell prompt "$" or "#", a list's "-", "+", "*" or ">")
//   are kept;
// - a reading in which letters and digits are not more than half of the
//   characters other than spaces is noise ("@;", "a =") and comes back empty.
std::string cleanedReading(std::string_view reading);
