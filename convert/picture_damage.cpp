#include "convert/picture_damage.h"

#include <algorithm>
#include <vector>

#include "convert/picture_kind.h"
#include "convert/picture_probe.h"
#include "decoders/plain_picture.h"
#include "platform/file_handle.h"
#include "platform/system.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

// The words with the system's message behind them, when it has one.
std::string withSystemMessage(const char* words) {
  std::string message = lastSystemErrorText();
  return message.empty() ? words : std::string(words) + ": " + message;
}

}  // namespace

std::string pictureDamage(const uint8_t* head, size_t headLength, uint64_t fileLength) {
  if (fileLength == 0) return "the file is empty";
  uint8_t probe[kProbeBytes] = {};
  std::copy(head, head + std::min<size_t>(headLength, kProbeBytes), probe);
  PictureKind kind = identifyPicture(probe);
  if (kind == PictureKind::Unknown) return "its first bytes are no picture kind this program knows";
  if (kind != PictureKind::Plain) return {};
  uint64_t needed = plainPictureBytes(head, headLength);
  if (needed == 0) return "its header gives no size or depth a bitmap can hold";
  if (needed > fileLength) {
    return "cut short: its header needs " + std::to_string(needed) + " bytes, the file has " +
           std::to_string(fileLength);
  }
  return {};
}

namespace {

// The words for a result that says nothing about the picture's bytes; empty for the others.
std::string reasonWithoutBytes(ResultCode result) {
  switch (result) {
    case ResultCode::ReadError:
      return withSystemMessage("cannot read");
    case ResultCode::WriteError:
      return withSystemMessage("cannot write");
    case ResultCode::OutOfMemory:
    case ResultCode::LockFailed:
      return "not enough memory";
    default:
      return {};
  }
}

constexpr const char* kNotConverted = "not a picture that converts";

// What the checks find in the first bytes (head) of a picture of `length` bytes.
std::string reasonFromHead(const uint8_t* head, size_t headLength, uint64_t length) {
  const std::string reason = kNotConverted;
  std::string damage = pictureDamage(head, headLength, length);
  if (!damage.empty()) return reason + ": " + damage;
  uint8_t probe[kProbeBytes] = {};
  std::copy(head, head + std::min<size_t>(headLength, kProbeBytes), probe);
  return reason + ": a damaged " + pictureKindName(identifyPicture(probe)) + " picture";
}

}  // namespace

std::string pictureFailureReason(const char* path, ResultCode result) {
  if (result == ResultCode::Success) return {};
  std::string words = reasonWithoutBytes(result);
  if (!words.empty()) return words;
  FileHandle file;
  uint64_t length = 0;
  if (!file.openRead(path) || !file.size(length)) return kNotConverted;
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(length, kPlainHeadBytes)));
  if (!head.empty() && !readAt(file, 0, head.data(), head.size())) return kNotConverted;
  return reasonFromHead(head.data(), head.size(), length);
}

std::string pictureFailureReason(const uint8_t* bytes, size_t size, ResultCode result) {
  if (result == ResultCode::Success) return {};
  std::string words = reasonWithoutBytes(result);
  if (!words.empty()) return words;
  return reasonFromHead(bytes, std::min<size_t>(size, kPlainHeadBytes), size);
}

}  // namespace quorvel
