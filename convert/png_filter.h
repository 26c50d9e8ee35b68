// PNG's row filters, written so that the compiler can vectorise them, and the choice of one
// filter for a run of rows by trial.
//
// A filter stores each byte as its difference from a prediction made from the byte to its left
// (a), the one above (b) and the one above-left (c): Sub predicts a, Up b, Average (a + b) / 2,
// Paeth whichever of a, b, c is nearest to a + b - c (ties to a, then b). Encoding reads only the
// unfiltered rows, so no byte waits for its left neighbour's result and whole vectors of bytes
// are filtered at once. Bytes left of the first pixel, and the row above the picture's first row,
// count as zeros.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

enum class PngFilter : uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

// Filters the `rowBytes` bytes of `row` into `out` (without the filter type byte). `above` is the
// unfiltered row above, or null for a picture's first row. `pixelBytes` is the size of a pixel.
void filterRow(PngFilter filter, const uint8_t* row, const uint8_t* above, size_t rowBytes,
               size_t pixelBytes, uint8_t* out);

// Filters one row with the filter chosen for that row alone and returns it: each filter's bytes
// are read as signed, and the filter whose bytes have the smallest sum of magnitudes wins (ties to
// the lower filter number), the usual guess at what deflate packs best. Integers only, so the
// choice is the same on every machine. `scratch` is room for one more row (`rowBytes` bytes).
PngFilter filterRowByGuess(const uint8_t* row, const uint8_t* above, size_t rowBytes,
                           size_t pixelBytes, uint8_t* out, uint8_t* scratch);

// How a run of rows is filtered: every row with one filter, or each row with its own guess.
struct RowFiltering {
  bool perRow = true;
  PngFilter filter = PngFilter::Paeth;  // when not per row
};

// Filters one row as `filtering` says and returns the row's filter type. `scratch` as for
// filterRowByGuess.
PngFilter filterRowWith(const RowFiltering& filtering, const uint8_t* row, const uint8_t* above,
                        size_t rowBytes, size_t pixelBytes, uint8_t* out, uint8_t* scratch);

// The filtering for a run of `rowCount` unfiltered rows laid one after the other at `rows`, each
// `rowBytes` long; `above` is the row above the first (null for a picture's top). Each row's guess
// and Up for every row are tried on a sample of the rows, each sample compressed with libdeflate's
// fastest level; the smaller wins (ties to Up). The guess alone misjudges smooth noisy pictures,
// where Up packs 10 % smaller. Too few rows for a trial get the guess. Depends only on the bytes,
// so the choice is the same on every machine.
RowFiltering chooseFiltering(const uint8_t* rows, const uint8_t* above, size_t rowCount,
                             size_t rowBytes, size_t pixelBytes);

}  // namespace quorvel
