// The row filters: every filter, pixel size and row length (shorter than a pixel too), with and
// without a row above, is undone by the format's own reconstruction (written here from the
// definition, one byte at a time, Paeth's ties included); and the trial picks the filter that
// plainly suits the rows.
#include "convert/png_filter.h"

#include <gtest/gtest.h>

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

// Each row a ramp of its own random slope: the left neighbour predicts it within a constant.
Rows rampRows(size_t count, size_t rowBytes) {
  Rows rows{rowBytes, Bytes(count * rowBytes)};
  for (size_t y = 0; y < count; ++y) {
    const size_t slope = (y * 2654435761u) >> 11;
    for (size_t x = 0; x < rowBytes; ++x) {
      rows.bytes[y * rowBytes + x] = static_cast<uint8_t>(x * slope);
    }
  }
  return rows;
}

TEST(PngFilter, TheTrialPicksTheFilterThatSuitsTheRows) {
  for (size_t count : {size_t{5}, size_t{40}, size_t{400}}) {
    // The rows of a piece below the picture's top: the row above is one of them too.
    const Rows repeated = repeatedRows(count + 1, 3 * 301);
    const uint8_t* below = repeated.bytes.data() + repeated.rowBytes;
    EXPECT_EQ(chooseFilter(below, repeated.bytes.data(), count, repeated.rowBytes, 3),
              PngFilter::Up)
        << count;
    const Rows ramps = rampRows(count, 4 * 250);  // the picture's top rows
    EXPECT_EQ(chooseFilter(ramps.bytes.data(), nullptr, count, ramps.rowBytes, 1), PngFilter::Sub)
        << count;
  }
  // Too few rows for a trial: Paeth, which suits most pictures.
  const Rows few = repeatedRows(3, 300);
  EXPECT_EQ(chooseFilter(few.bytes.data(), nullptr, 3, few.rowBytes, 3), PngFilter::Paeth);
}

}  // namespace
}  // namespace quorvel
