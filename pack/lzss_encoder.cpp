#include "pack/lzss_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "archive/lzss.h"
#include "convert/ordered_work.h"

namespace quorvel {

namespace {

constexpr size_t kWindow = kLzssWindowBytes;
constexpr uint32_t kMinMatch = 3;
constexpr uint32_t kMaxMatch = 18;
// Matches of this length or more are searched along a chain of earlier positions that share
// their first kChainKey bytes; shorter ones come from the latest position sharing 3 or 4 bytes
// (every short match costs the same, so the nearest will do).
constexpr uint32_t kChainKey = 8;
constexpr int kChainCandidates = 10;
constexpr int kHeadBits = 16;
constexpr int kShortHeadBits = 14;
// The parse works on blocks of this many positions; no match crosses a block's end.
constexpr size_t kBlock = size_t{1} << 16;
// Matches are compared 8 bytes at a time and may read this far past the last input byte.
constexpr size_t kPad = 32;
constexpr uint32_t kLiteralBits = 9;
constexpr uint32_t kMatchBits = 17;

static_assert(std::endian::native == std::endian::little);

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Hash of the first `bytes` bytes at p (1 to 8), `bits` bits wide.
inline uint32_t hashPrefix(const uint8_t* p, uint32_t bytes, int bits) {
  uint64_t v = load64(p) << (64 - 8 * bytes);
  return static_cast<uint32_t>((v * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

// The bytes a and b have in common at their start, at most limit, when their first `known`
// bytes (at most limit) are already known to agree.
inline uint32_t commonLength(const uint8_t* a, const uint8_t* b, uint32_t limit,
                             uint32_t known = 0) {
  for (uint32_t n = known; n < limit; n += 8) {
    uint64_t difference = load64(a + n) ^ load64(b + n);
    if (difference != 0) {
      return std::min(limit, n + static_cast<uint32_t>(std::countr_zero(difference)) / 8);
    }
  }
  return limit;
}

// The hashes of the bytes at one position, for each table: computed once, used by the search
// there and by entering the position afterwards.
struct PositionHashes {
  uint32_t chain;   // first kChainKey bytes
  uint32_t short4;  // first 4 bytes
  uint32_t short3;  // first 3 bytes
};

// A match: its length (0 for none) and how far back it starts.
struct Match {
  uint32_t length = 0;
  uint32_t distance = 0;
};

// The history as one linear text: 4096 bytes standing for the window before the piece's first
// byte, then the piece. The window part holds as much of the input before the piece as there is
// (up to 4096 bytes) at its end; the rest stands for the window's fill before the stream's first
// write. A match at distance 1 to 4096 in the text is the same match in the window.
//
// Matches reach only bytes the stream itself has produced, never the window's fill before its
// first write: readers of the format fill it differently (zeros, spaces), and a stream that
// matched there would decode differently in each. Text positions before the history are
// therefore never entered in the tables, and every candidate, whatever a table or the hint says,
// is refused when it starts before them.
//
// The history's positions are entered in the tables before the piece's first search, so a piece
// finds exactly the matches one encoder running over the whole input finds there: every table
// entry within reach is the same, and entries out of reach are refused in both.
//
// Positions are kept in 32 bits. A stale or wrapped-around table entry can only name another
// position, which is compared byte for byte like every candidate: it costs a try, never a wrong
// match.
class MatchFinder {
 public:
  // The piece bytes[begin, end) of an input.
  MatchFinder(const uint8_t* bytes, size_t begin, size_t end)
      : history_(std::min(begin, kWindow)),
        text_(kWindow + (end - begin) + kPad, 0),
        chainHead_(size_t{1} << kHeadBits, 0),
        chain_(kWindow, 0),
        latest4_(size_t{1} << kShortHeadBits, 0),
        latest3_(size_t{1} << kShortHeadBits, 0) {
    if (end - begin + history_ > 0) {
      std::memcpy(text_.data() + kWindow - history_, bytes + begin - history_,
                  end - begin + history_);
    }
    for (size_t t = kWindow - history_; t < kWindow; ++t) insert(t, hashesAt(t));
  }

  PositionHashes hashesAt(size_t t) const {
    const uint8_t* p = text_.data() + t;
    return PositionHashes{hashPrefix(p, kChainKey, kHeadBits), hashPrefix(p, 4, kShortHeadBits),
                          hashPrefix(p, 3, kShortHeadBits)};
  }

  // The longest match found for text position t, of at most limit bytes. Searched before t is
  // inserted. previous: the match found for t - 1 (its distance is worth trying first).
  Match find(size_t t, const PositionHashes& hashes, uint32_t limit, Match previous) const {
    Match best;
    if (limit < kMinMatch) return best;
    const uint8_t* here = text_.data() + t;
    // Inside a run or a repeated stretch the previous position's distance usually reaches the
    // limit at once. All but the first byte of the previous match are known to agree, so often
    // only the last byte needs comparing.
    const uint32_t hint = previous.distance;
    if (hint != 0 && hint <= reach(t)) {
      const uint32_t known = std::min(limit, previous.length - 1);
      best = Match{commonLength(here - hint, here, limit, known), hint};
      if (best.length == limit) return best;
    }
    if (limit >= kChainKey) searchChain(t, hashes.chain, limit, best);
    if (best.length < kChainKey) {
      uint32_t shortLimit = std::min(limit, kChainKey - 1);
      tryCandidate(here, distanceTo(t, latest4_[hashes.short4]), shortLimit, best);
      tryCandidate(here, distanceTo(t, latest3_[hashes.short3]), shortLimit, best);
    }
    if (best.length < kMinMatch) best = Match{};
    return best;
  }

  void insert(size_t t, const PositionHashes& hashes) {
    const auto position = static_cast<uint32_t>(t);
    uint32_t& head = chainHead_[hashes.chain];
    chain_[t & (kWindow - 1)] = head;
    head = position;
    latest4_[hashes.short4] = position;
    latest3_[hashes.short3] = position;
  }

 private:
  // The farthest a match at t may reach back: the whole window, but never before the history.
  uint32_t reach(size_t t) const {
    return static_cast<uint32_t>(std::min(t - (kWindow - history_), kWindow));
  }

  // The distance back from t to an earlier position, or 0 when it is out of reach.
  uint32_t distanceTo(size_t t, uint32_t earlier) const {
    uint32_t back = static_cast<uint32_t>(t) - earlier;
    return back <= reach(t) ? back : 0;
  }

  // Takes the candidate when it is longer than the best so far.
  static void tryCandidate(const uint8_t* here, uint32_t distance, uint32_t limit, Match& best) {
    if (distance == 0) return;
    uint32_t n = commonLength(here - distance, here, limit);
    if (n > best.length) best = Match{n, distance};
  }

  void searchChain(size_t t, uint32_t hash, uint32_t limit, Match& best) const {
    const uint8_t* here = text_.data() + t;
    uint32_t candidate = chainHead_[hash];
    for (int tries = 0; tries < kChainCandidates; ++tries) {
      uint32_t back = distanceTo(t, candidate);
      if (back == 0) return;
      // Only a candidate that agrees at the first byte past the best so far can beat it.
      if ((here - back)[best.length] == here[best.length]) {
        tryCandidate(here, back, limit, best);
        if (best.length == limit) return;
      }
      candidate = chain_[candidate & (kWindow - 1)];
    }
  }

  size_t history_;  // input bytes before the piece, at the end of the window part
  std::vector<uint8_t> text_;
  std::vector<uint32_t> chainHead_;  // latest position of each 8-byte hash
  std::vector<uint32_t> chain_;      // per window slot: the previous position of the same hash
  std::vector<uint32_t> latest4_;
  std::vector<uint32_t> latest3_;
};

// The items of one piece in order: their bytes (a literal's byte, a match's two bytes) and one
// bit per item, set for a literal. The flag bytes are written when the pieces are joined, so that
// the groups of eight items run on across the pieces.
struct PieceItems {
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> literalBits;
  size_t count = 0;

  void literal(uint8_t b) {
    mark(true);
    bytes.push_back(b);
  }
  // A match distance bytes back from output position n.
  void match(size_t n, uint32_t distance, uint32_t length) {
    mark(false);
    uint32_t position = static_cast<uint32_t>(kLzssFirstWrite + n - distance) & (kWindow - 1);
    bytes.push_back(static_cast<uint8_t>(position));
    bytes.push_back(static_cast<uint8_t>(((position >> 4) & 0xF0) | (length - kMinMatch)));
  }

 private:
  void mark(bool isLiteral) {
    if (count % 8 == 0) literalBits.push_back(0);
    if (isLiteral) literalBits.back() |= static_cast<uint8_t>(1u << (count % 8));
    ++count;
  }
};

// Joins the pieces' items into one stream: a flag byte before every eight items, its bits, least
// significant first, set for the literals.
class GroupWriter {
 public:
  explicit GroupWriter(std::vector<uint8_t>& out) : out_(out) {}

  void append(const PieceItems& piece) {
    at_ = out_.size();
    out_.resize(at_ + piece.bytes.size() + piece.count / 8 + 2);
    item_ = piece.bytes.data();
    size_t i = 0;
    // Item by item until a group starts, then whole groups of eight at once: their flag byte is
    // eight of the piece's bits, and their bytes follow it unchanged, one per literal and two
    // per match.
    for (; i < piece.count && inGroup_ != 8; ++i) appendItem(piece, i);
    for (; i + 8 <= piece.count; i += 8) {
      const uint8_t flags = eightBits(piece.literalBits, i);
      const size_t bytes = 16 - static_cast<size_t>(std::popcount(flags));
      out_[at_] = flags;
      std::memcpy(out_.data() + at_ + 1, item_, bytes);
      at_ += 1 + bytes;
      item_ += bytes;
    }
    for (; i < piece.count; ++i) appendItem(piece, i);
    out_.resize(at_);
  }

 private:
  // The items' bits first .. first + 7, the first as the lowest.
  static uint8_t eightBits(const std::vector<uint8_t>& bits, size_t first) {
    const size_t byte = first / 8;
    unsigned pair = bits[byte];
    if (first % 8 != 0) pair |= unsigned{bits[byte + 1]} << 8;
    return static_cast<uint8_t>(pair >> (first % 8));
  }

  void appendItem(const PieceItems& piece, size_t i) {
    uint8_t* out = out_.data();
    if (inGroup_ == 8) {
      flagAt_ = at_;
      out[at_++] = 0;
      inGroup_ = 0;
    }
    if ((piece.literalBits[i / 8] >> (i % 8) & 1) != 0) {
      out[flagAt_] |= static_cast<uint8_t>(1u << inGroup_);
      out[at_++] = *item_++;
    } else {
      out[at_++] = item_[0];
      out[at_++] = item_[1];
      item_ += 2;
    }
    ++inGroup_;
  }

  std::vector<uint8_t>& out_;
  size_t at_ = 0;                  // where the next byte goes
  const uint8_t* item_ = nullptr;  // the next item's bytes in the piece being appended
  size_t flagAt_ = 0;
  uint32_t inGroup_ = 8;
};

// The cheapest parse of one block: cost[j] is the fewest bits from position j to the block's end.
// A match of length n at j may be taken at any length from 3 to n (its prefixes are matches too),
// so the choice at j is the cheapest position among j + 3 .. j + n. Those ranges are answered in
// constant time from the cheapest position of every window of 2, 4 and 8 positions.
class BlockParser {
 public:
  // Room for blocks of up to `positions` positions (a short input needs no more).
  explicit BlockParser(size_t positions)
      : matches_(positions),
        cost_(positions + kTail),
        step_(positions),
        least2_(positions + kTail),
        least4_(positions + kTail),
        least8_(positions + kTail) {}

  // The block bytes[begin, end) of the piece that starts at input position pieceStart.
  void encode(MatchFinder& finder, const uint8_t* bytes, size_t pieceStart, size_t begin,
              size_t end, PieceItems& out) {
    const auto count = static_cast<uint32_t>(end - begin);
    const size_t text = kWindow + (begin - pieceStart);
    for (uint32_t j = 0; j < count; ++j) {
      uint32_t limit = std::min(kMaxMatch, count - j);
      const Match previous = j > 0 ? matches_[j - 1] : Match{};
      const PositionHashes hashes = finder.hashesAt(text + j);
      matches_[j] = finder.find(text + j, hashes, limit, previous);
      finder.insert(text + j, hashes);
    }
    parse(count);
    for (uint32_t j = 0; j < count; j += step_[j]) {
      if (step_[j] == 1) {
        out.literal(bytes[begin + j]);
      } else {
        out.match(begin + j, matches_[j].distance, step_[j]);
      }
    }
  }

 private:
  static constexpr uint32_t kTail = 8;
  static constexpr uint32_t kUnreachable = 0x40000000;

  void parse(uint32_t count) {
    for (uint32_t k = count; k < count + kTail; ++k) {
      cost_[k] = k == count ? 0 : kUnreachable;
      least2_[k] = least4_[k] = least8_[k] = k;
    }
    for (uint32_t j = count; j-- > 0;) {
      uint32_t best = cost_[j + 1] + kLiteralBits;
      uint32_t step = 1;
      if (matches_[j].length >= kMinMatch) {
        uint32_t at = cheapest(j + kMinMatch, j + matches_[j].length);
        if (cost_[at] + kMatchBits < best) {
          best = cost_[at] + kMatchBits;
          step = at - j;
        }
      }
      cost_[j] = best;
      step_[j] = static_cast<uint8_t>(step);
      least2_[j] = cheaper(j, j + 1);
      least4_[j] = cheaper(least2_[j], least2_[j + 2]);
      least8_[j] = cheaper(least4_[j], least4_[j + 4]);
    }
  }

  // Of two positions, the cheaper one to continue from; on a tie the later one (fewer items).
  uint32_t cheaper(uint32_t a, uint32_t b) const {
    if (cost_[a] != cost_[b]) return cost_[b] < cost_[a] ? b : a;
    return std::max(a, b);
  }

  // The cheapest position in [first, last], a range of at most 16 positions.
  uint32_t cheapest(uint32_t first, uint32_t last) const {
    uint32_t span = last - first + 1;
    if (span >= 8) return cheaper(least8_[first], least8_[last - 7]);
    if (span >= 4) return cheaper(least4_[first], least4_[last - 3]);
    if (span >= 2) return cheaper(least2_[first], least2_[last - 1]);
    return first;
  }

  std::vector<Match> matches_;
  std::vector<uint32_t> cost_;
  std::vector<uint8_t> step_;
  std::vector<uint32_t> least2_;
  std::vector<uint32_t> least4_;
  std::vector<uint32_t> least8_;
};

// The items of the piece bytes[begin, end), block by block.
PieceItems encodePiece(const uint8_t* bytes, size_t begin, size_t end) {
  PieceItems items;
  items.bytes.reserve((end - begin) + (end - begin) / 8);
  MatchFinder finder(bytes, begin, end);
  BlockParser parser(std::min(end - begin, kBlock));
  for (size_t block = begin; block < end; block += kBlock) {
    parser.encode(finder, bytes, begin, block, std::min(end, block + kBlock), items);
  }
  return items;
}

}  // namespace

std::vector<uint8_t> lzssEncode(const uint8_t* bytes, size_t size, WorkerBudget* budget,
                                size_t pieceBytes) {
  // Whole blocks only: a piece then finds exactly what one encoder over the input would.
  pieceBytes = std::max(kBlock, (pieceBytes + kBlock - 1) / kBlock * kBlock);
  const size_t pieces = (size + pieceBytes - 1) / pieceBytes;
  std::vector<uint8_t> out;
  out.reserve(size + size / 8 + 16);
  GroupWriter groups(out);
  std::vector<PieceItems> items(pieces);
  runOrdered(
      pieces, budget,
      [&](size_t i) {
        const size_t begin = i * pieceBytes;
        items[i] = encodePiece(bytes, begin, std::min(size, begin + pieceBytes));
        return true;
      },
      [&](size_t i) {
        groups.append(items[i]);
        items[i] = PieceItems{};
      });
  return out;
}

}  // namespace quorvel
