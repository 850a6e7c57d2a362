#pragma once

// The linear part of a track's display matrix: the stored picture's point
// (x, y) is shown at (a·x + c·y, b·x + d·y). The translation plays no part.
struct DisplayMatrix {
  double a = 1, b = 0, c = 0, d = 1;
};

struct DisplaySize {
  double width = 0;
  double height = 0;
};

// The size a width × height picture is shown at: turned by the matrix, each
// side's absolute value rounded half away from zero. Not finite when the
// matrix or the size is not.
DisplaySize displaySize(const DisplayMatrix& matrix, double width, double height);
