// The row filters: every filter, pixel size and row length (shorter than a pixel too), with and
// without a row above, is undone by the format's own reconstruction (written here from the
// definition, one byte at a time, Paeth's ties included); each row's own guess is undone too and
// is the filter of the smallest sum; Average and Paeth predict every triple of bytes as defined;
// and the trial picks the filtering that plainly suits the rows.
#include "convert/png_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// What a decoder makes of a filtered row, given the row above (zeros for none).
Bytes reconstruct(PngFilter filter, const Bytes& filtered, const Bytes& above, size_t pixelBytes) {
  Bytes row(filtered.size());
  for (size_t i = 0; i < row.size(); ++i) {
    const int a = i >= pixelBytes ? row[i - pixelBytes] : 0;
    const int b = above[i];
    const int c = i >= pixelBytes ? above[i - pixelBytes] : 0;
    int predictor = 0;
    switch (filter) {
      case PngFilter::None:
        predictor = 0;
        break;
      case PngFilter::Sub:
        predictor = a;
        break;
      case PngFilter::Up:
        predictor = b;
        break;
      case PngFilter::Average:
        predictor = (a + b) / 2;
        break;
      case PngFilter::Paeth:
        predictor = paeth(a, b, c);
        break;
    }
    row[i] = static_cast<uint8_t>(filtered[i] + predictor);
  }
  return row;
}

// Bytes from a small alphabet at the ends of the range, so that Paeth's ties and wrap-arounds
// are common.
Bytes makeRow(size_t size, unsigned seed) {
  static const uint8_t kValues[] = {0, 1, 2, 127, 128, 254, 255};
  Bytes row(size);
  for (size_t i = 0; i < size; ++i) row[i] = kValues[(i * 7 + seed * 13 + (i * i) % 5) % 7];
  return row;
}

TEST(PngFilter, EveryFilterIsUndoneByTheFormatsReconstruction) {
  const PngFilter filters[] = {PngFilter::None, PngFilter::Sub, PngFilter::Up, PngFilter::Average,
                               PngFilter::Paeth};
  for (PngFilter filter : filters) {
    for (size_t pixelBytes : {1, 2, 3, 4, 8}) {
      for (size_t size : {size_t{1}, size_t{3}, size_t{8}, size_t{67}, size_t{1000}}) {
        for (unsigned seed = 0; seed < 4; ++seed) {
          const Bytes row = makeRow(size, seed);
          const Bytes above = makeRow(size, seed + 5);
          Bytes out(size);
          filterRow(filter, row.data(), above.data(), size, pixelBytes, out.data());
          EXPECT_EQ(reconstruct(filter, out, above, pixelBytes), row)
              << int(filter) << " " << pixelBytes << " " << size;
          filterRow(filter, row.data(), nullptr, size, pixelBytes, out.data());
          EXPECT_EQ(reconstruct(filter, out, Bytes(size, 0), pixelBytes), row)
              << int(filter) << " " << pixelBytes << " " << size << " first row";
        }
      }
    }
  }
}

struct Rows {
  size_t rowBytes;
  Bytes bytes;
};

// Every row the same noise: only the row above predicts it.
Rows repeatedRows(size_t count, size_t rowBytes) {
  Rows rows{rowBytes, Bytes(count * rowBytes)};
  for (size_t y = 0; y < count; ++y) {
    for (size_t x = 0; x < rowBytes; ++x) {
      rows.bytes[y * rowBytes + x] = static_cast<uint8_t>((x * 2654435761u) >> 13);
    }
  }
  return rows;
}

// A byte that no neighbour predicts.
uint8_t noise(size_t at) {
  uint32_t h = static_cast<uint32_t>(at) * 2654435761u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return static_cast<uint8_t>(h >> 24);
}

// Each row a walk of its own: small random steps from the left neighbour, so the left neighbour
// predicts it closely and the row above (another walk) does not.
Rows walkRows(size_t count, size_t rowBytes) {
  Rows rows{rowBytes, Bytes(count * rowBytes)};
  for (size_t y = 0; y < count; ++y) {
    uint8_t value = noise(y);
    for (size_t x = 0; x < rowBytes; ++x) {
      value = static_cast<uint8_t>(value + noise(y * rowBytes + x) % 5 - 2);
      rows.bytes[y * rowBytes + x] = value;
    }
  }
  return rows;
}

// Rows repeating in threes: a ramp of a small slope (the left neighbour predicts it, the noise
// above does not), a noise row (nothing predicts it) and that noise plus small values (the row
// above predicts it, the left neighbour does not; a plain copy would be found by deflate's matches
// whatever the filter). No single filter suits both the ramps and the copies; each row's own
// guess does.
Rows mixedRows(size_t count, size_t rowBytes) {
  Rows rows{rowBytes, Bytes(count * rowBytes)};
  for (size_t y = 0; y < count; ++y) {
    const size_t cycle = y / 3;
    for (size_t x = 0; x < rowBytes; ++x) {
      const size_t small = y % 3 == 2 ? (x * x >> 5) & 3 : 0;
      rows.bytes[y * rowBytes + x] =
          static_cast<uint8_t>(y % 3 == 0 ? x * (1 + cycle % 10) : noise(x + 7919 * cycle) + small);
    }
  }
  return rows;
}

// Average and Paeth are computed in byte lanes: every left, above and above-left byte (a, b, c)
// is tried against the definition. A pixel of 256 bytes puts one (a, b) pair with all 256 c of a
// row side by side.
TEST(PngFilter, AverageAndPaethPredictEveryTripleAsDefined) {
  constexpr size_t kPixel = 256;
  Bytes row(2 * kPixel), above(2 * kPixel), out(2 * kPixel);
  for (size_t i = 0; i < kPixel; ++i) {
    above[i] = static_cast<uint8_t>(i);  // c
    row[kPixel + i] = static_cast<uint8_t>(i * 37);
  }
  size_t wrong = 0;
  for (int a = 0; a < 256; ++a) {
    std::fill(row.begin(), row.begin() + kPixel, static_cast<uint8_t>(a));
    for (int b = 0; b < 256; ++b) {
      std::fill(above.begin() + kPixel, above.end(), static_cast<uint8_t>(b));
      filterRow(PngFilter::Paeth, row.data(), above.data(), row.size(), kPixel, out.data());
      for (size_t c = 0; c < kPixel; ++c) {
        const uint8_t x = row[kPixel + c];
        wrong += out[kPixel + c] != static_cast<uint8_t>(x - paeth(a, b, int(c)));
      }
      filterRow(PngFilter::Average, row.data(), above.data(), row.size(), kPixel, out.data());
      wrong += out[kPixel] != static_cast<uint8_t>(row[kPixel] - (a + b) / 2);
    }
  }
  EXPECT_EQ(wrong, 0u);
}

TEST(PngFilter, TheTrialPicksTheFilteringThatSuitsTheRows) {
  for (size_t count : {size_t{5}, size_t{40}, size_t{400}}) {
    // The rows of a piece below the picture's top: the row above is one of them too.
    const Rows repeated = repeatedRows(count + 1, 3 * 301);
    const uint8_t* below = repeated.bytes.data() + repeated.rowBytes;
    RowFiltering chosen =
        chooseFiltering(below, repeated.bytes.data(), count, repeated.rowBytes, 3);
    EXPECT_FALSE(chosen.perRow) << count;
    EXPECT_EQ(chosen.filter, PngFilter::Up) << count;
    const Rows walks = walkRows(count, 4 * 250);  // the picture's top rows
    EXPECT_TRUE(chooseFiltering(walks.bytes.data(), nullptr, count, walks.rowBytes, 1).perRow)
        << count;
    const Rows mixed = mixedRows(count, 4 * 250);
    EXPECT_TRUE(chooseFiltering(mixed.bytes.data(), nullptr, count, mixed.rowBytes, 1).perRow)
        << count;
  }
  // Too few rows for a trial: each row's guess.
  const Rows few = repeatedRows(3, 300);
  EXPECT_TRUE(chooseFiltering(few.bytes.data(), nullptr, 3, few.rowBytes, 3).perRow);
}

// The sum the guess weighs, one byte at a time.
uint64_t signedSum(const Bytes& filtered) {
  uint64_t sum = 0;
  for (uint8_t byte : filtered) sum += static_cast<uint64_t>(std::abs(static_cast<int8_t>(byte)));
  return sum;
}

TEST(PngFilter, EachRowsGuessIsTheSmallestSumAndIsUndone) {
  const PngFilter filters[] = {PngFilter::None, PngFilter::Sub, PngFilter::Up, PngFilter::Average,
                               PngFilter::Paeth};
  const Rows mixed = mixedRows(12, 4 * 67);
  for (size_t pixelBytes : {1, 3, 4, 8}) {
    for (size_t y = 0; y < 12; ++y) {
      // The alternating rows, and rows of the wrap-around alphabet.
      for (int kind = 0; kind < 2; ++kind) {
        const size_t size = mixed.rowBytes;
        const Bytes row =
            kind == 0 ? Bytes(mixed.bytes.begin() + static_cast<std::ptrdiff_t>(y * size),
                              mixed.bytes.begin() + static_cast<std::ptrdiff_t>((y + 1) * size))
                      : makeRow(size, static_cast<unsigned>(y));
        const Bytes above =
            y == 0      ? Bytes(size, 0)
            : kind == 0 ? Bytes(mixed.bytes.begin() + static_cast<std::ptrdiff_t>((y - 1) * size),
                                mixed.bytes.begin() + static_cast<std::ptrdiff_t>(y * size))
                        : makeRow(size, static_cast<unsigned>(y + 5));
        Bytes out(size), scratch(size);
        const PngFilter chosen = filterRowByGuess(row.data(), y == 0 ? nullptr : above.data(), size,
                                                  pixelBytes, out.data(), scratch.data());
        EXPECT_EQ(reconstruct(chosen, out, above, pixelBytes), row) << pixelBytes << " " << y;
        // No filter sums smaller, and none before the chosen one sums the same.
        const uint64_t chosenSum = signedSum(out);
        for (PngFilter filter : filters) {
          Bytes other(size);
          filterRow(filter, row.data(), above.data(), size, pixelBytes, other.data());
          if (filter < chosen) {
            EXPECT_GT(signedSum(other), chosenSum) << int(filter) << " " << int(chosen);
          } else {
            EXPECT_GE(signedSum(other), chosenSum) << int(filter) << " " << int(chosen);
          }
        }
        if (kind == 0 && y % 3 == 2) {
          EXPECT_EQ(chosen, PngFilter::Up) << y;
        }
        if (kind == 0 && y % 3 == 0) {
          EXPECT_EQ(chosen, PngFilter::Sub) << y;
        }
      }
    }
  }
  // A long row (beyond one 32-bit block of the sums would need 16 MiB; a row of 128s is the
  // largest sum per byte): every filter but those reading the left neighbour sums the most.
  const Bytes flat(100000, 128);
  Bytes out(flat.size()), scratch(flat.size());
  EXPECT_EQ(filterRowByGuess(flat.data(), nullptr, flat.size(), 4, out.data(), scratch.data()),
            PngFilter::Sub);
}

}  // namespace
}  // namespace quorvel
