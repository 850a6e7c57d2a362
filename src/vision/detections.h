#pragma once
#include <string>
#include <vector>

// One object found by the detector: its class, its raw score (the heat-map
// peak, 0 to 1) and its box in the coordinates of the network input.
struct Detection {
  int label = 0;
  float score = 0;
  float left = 0, top = 0, right = 0, bottom = 0;
};

// Reads the detector's outputs: `heatmap` holds `classes` planes of
// height × width scores, `extents` four planes (distances from the centre to
// the left, top, right and bottom edge, in input pixels). A cell is a
// detection when no neighbour in its 3 × 3 window of the same plane scores
// higher; the `limit` best of them are returned, highest score first (ties in
// row, column, class order). `stride` is the input pixels per cell.
std::vector<Detection> decodeDetections(const float* heatmap, const float* extents, int classes, int height,
                                        int width, int stride, int limit);

// Greedy non-maximum suppression: walking from the highest score down, drops
// each detection whose box overlaps an already kept one by more than
// `maxOverlap` (intersection over union). Keeps the order of what it keeps.
std::vector<Detection> suppressOverlaps(std::vector<Detection> detections, float maxOverlap);

// Whether the detector's finding is evidence enough to report. Balls and
// frisbees are told apart from litter, stones and bright specks by little
// more than roundness, and a speck a few pixels across is round: such a find
// needs a box of at least kSmallThingSide input pixels on its shorter side
// (about 17 pixels in a 720-pixel frame). Every other class is plausible.
constexpr float kSmallThingSide = 12;
bool plausible(const Detection& detection);

// Maps a raw heat-map score onto the confidence scale the analyses' floors
// are set for: a logistic sharpening around the score 0.4, where the
// detector's people turned from background clutter into clear figures on
// labelled photos. 0.4 maps to 0.5 and 0.25 to 0.12; the map is monotone.
float calibratedConfidence(float score);

// The confidence that a person detection is a person. A box at least
// kStandingFigure times as tall as it is wide and at least kFigureHeight
// input pixels tall holds a whole standing or walking figure, a shape that
// clutter (posts, rocks, litter, shadows) seldom has: its scores are mapped
// by the same curve moved down to kFigurePivot. Small walkers in street
// footage, 40 to 80 pixels tall and often in a group, score 0.28 to 0.4. A
// box shorter than that is too small to show a figure's shape (a sign post
// 20 pixels tall and 2.1 to 2.3 times as tall as wide scores up to 0.37).
// Every other box is mapped as calibratedConfidence.
constexpr float kStandingFigure = 2.2f, kFigureHeight = 32, kFigurePivot = 0.27f;
float personConfidence(const Detection& person);

// The lower-case COCO name of a detector class ("person", "traffic light");
// empty outside 0 … 79.
std::string cocoName(int label);
