// The interface of the browser build: plain C functions that the page's script calls on one
// session. Texts cross as UTF-8 JSON, files as addresses and sizes inside the module's memory,
// valid until the next call.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "browse/browse_session.h"
#include "convert/name_patterns.h"
#include "platform/wasm/external_file.h"

namespace {

using quorvel::BrowseSession;
using quorvel::ConvertedFile;
using quorvel::ResultCode;

// The module's memory grows up to QUORVEL_WASM_MAXIMUM_MEMORY; a picture whose conversion would
// need more than this share of it is refused before anything is allocated for it. What stays
// behind covers the opened file, the outputs kept and the allocator's own overhead.
constexpr uint64_t kPictureMemoryLimit = QUORVEL_WASM_MAXIMUM_MEMORY / 4 * 3;

BrowseSession gSession;
std::vector<ConvertedFile> gFiles;
std::string gText;

void appendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void appendField(std::string& out, const char* name, const std::string& text) {
  out += out.back() == '{' ? "\"" : ",\"";
  out += name;
  out += "\":";
  appendJsonString(out, text);
}

void appendField(std::string& out, const char* name, int64_t number) {
  out += out.back() == '{' ? "\"" : ",\"";
  out += name;
  out += "\":";
  out += std::to_string(number);
}

int resultOf(ResultCode result) {
  return static_cast<int>(result);
}

}  // namespace

extern "C" {

int qv_open(const uint8_t* bytes, uint32_t length, const char* name) {
  gFiles.clear();
  gSession.setMemoryLimit(kPictureMemoryLimit);
  return resultOf(gSession.open(bytes, length, name));
}

// A file that stays with the page, read through Module.readExternal(id, ...) when its bytes are
// needed: the size travels as a double, exact up to 2^53.
int qv_open_external(uint32_t id, double size, const char* name) {
  gFiles.clear();
  gSession.setMemoryLimit(kPictureMemoryLimit);
  if (!(size >= 0)) return resultOf(ResultCode::ReadError);
  uint64_t length = static_cast<uint64_t>(size);
  return resultOf(gSession.open(name, length, [id, length](const std::string& path) {
    return quorvel::createExternalFile(path.c_str(), id, length);
  }));
}

// The most pixels a picture may have to be converted here (its decoding needs a few times four
// bytes for each).
double qv_pixel_limit() {
  return static_cast<double>(kPictureMemoryLimit / (4 * quorvel::kBrowsePeakCopiesPerPixel));
}

// [{name, kind, size, storedSize, storage, usable, damage}] of the opened file (damage: why
// extraction refuses the member, empty for a sound one); "file" is the storage of
// a picture opened alone.
const char* qv_entries() {
  gText = "[";
  for (const quorvel::BrowseEntry& entry : gSession.entries()) {
    if (gText.size() > 1) gText += ',';
    gText += '{';
    appendField(gText, "name", entry.member.name);
    appendField(gText, "kind", quorvel::entryKindName(entry.kind));
    appendField(gText, "size", entry.member.size);
    appendField(gText, "storedSize", entry.member.storedSize);
    appendField(gText, "storage",
                gSession.isArchive() ? quorvel::storageName(entry.member.storage) : "file");
    appendField(gText, "usable", entry.usable ? 1 : 0);
    appendField(gText, "damage", entry.member.damage);
    gText += '}';
  }
  gText += ']';
  return gText.c_str();
}

// The indexes of the entries whose names match a list of patterns as -only: takes it, as a JSON
// array in qv_text; an empty list matches every entry.
const char* qv_matching(const char* patterns) {
  quorvel::NamePatterns only{std::string(patterns)};
  gText = "[";
  const std::vector<quorvel::BrowseEntry>& entries = gSession.entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!only.matches(entries[i].member.name)) continue;
    if (gText.size() > 1) gText += ',';
    gText += std::to_string(i);
  }
  gText += ']';
  return gText.c_str();
}

const char* qv_output_name() {
  return gSession.outputName().c_str();
}

// {format, width, height, depth, images} of a picture entry in qv_text.
int qv_describe(uint32_t index) {
  quorvel::PictureListing listing;
  ResultCode result = gSession.describe(index, listing);
  gText = "{";
  if (result == ResultCode::Success) {
    appendField(gText, "format", quorvel::pictureKindName(listing.kind));
    appendField(gText, "width", listing.width);
    appendField(gText, "height", listing.height);
    appendField(gText, "depth", listing.bitsPerPixel);
    appendField(gText, "images", listing.imageCount);
  }
  gText += '}';
  return resultOf(result);
}

// Why the last qv_describe, qv_extract or qv_convert failed, as a conversion's failure list says
// it; empty when nothing more is known than its result.
const char* qv_failure() {
  return gSession.failureReason().c_str();
}

const char* qv_text() {
  return gText.c_str();
}

int qv_extract(uint32_t index) {
  gFiles.assign(1, ConvertedFile{});
  ResultCode result = gSession.extract(index, gFiles[0].bytes);
  if (result != ResultCode::Success) gFiles.clear();
  return resultOf(result);
}

// background: 0xRRGGBB. A picture refused for its size leaves the reason in qv_text
// ("W x H pixels need ..."); otherwise qv_text is empty.
int qv_convert(uint32_t index, int raw, uint32_t background, int png) {
  quorvel::PictureChoice choice;
  choice.raw = raw != 0;
  choice.png = png != 0;
  choice.background[0] = static_cast<uint8_t>(background >> 16);
  choice.background[1] = static_cast<uint8_t>(background >> 8);
  choice.background[2] = static_cast<uint8_t>(background);
  const ResultCode result = gSession.convert(index, choice, gFiles);
  gText = gSession.refusal();
  return resultOf(result);
}

uint32_t qv_file_count() {
  return static_cast<uint32_t>(gFiles.size());
}

const char* qv_file_path(uint32_t i) {
  return i < gFiles.size() ? gFiles[i].path.c_str() : "";
}

const uint8_t* qv_file_data(uint32_t i) {
  return i < gFiles.size() ? gFiles[i].bytes.data() : nullptr;
}

uint32_t qv_file_size(uint32_t i) {
  return i < gFiles.size() ? static_cast<uint32_t>(gFiles[i].bytes.size()) : 0;
}

void qv_release_files() {
  gFiles.clear();
  gFiles.shrink_to_fit();
}

void qv_close() {
  gFiles.clear();
  gSession.close();
}

}  // extern "C"
