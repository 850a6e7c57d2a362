#pragma once

// Two-decimal rounding of the numbers in the frames document: × 100, rounded
// to the nearest whole number with halves away from zero, ÷ 100.

// In double precision: times and the duration.
double roundedSeconds(double value);

// In single precision, then widened: confidences and the frame rate.
double roundedSingle(float value);
