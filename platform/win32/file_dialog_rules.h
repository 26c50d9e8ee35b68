// The fixed values of the Windows Open dialog record that do not need the Windows headers, so that
// they can be checked on any platform.
#pragma once

#include <cstdint>

namespace quorvel {

inline constexpr uint32_t kOfnEnableHook = 0x20;
inline constexpr uint32_t kOfnExplorer = 0x80000;
inline constexpr uint32_t kOfnEnableSizing = 0x800000;

// The dialog always runs in the Explorer style, resizable, with the hook procedure.
constexpr uint32_t fileDialogFlags(uint32_t extraFlags) {
  return extraFlags | kOfnExplorer | kOfnEnableHook | kOfnEnableSizing;
}

// Systems before version 4.90 only know the record without its three trailing fields
// (pvReserved, dwReserved, FlagsEx); a version that cannot be read counts as old.
constexpr bool isOldDialogVersion(bool versionKnown, uint32_t major, uint32_t minor) {
  if (!versionKnown) return true;
  return major < 4 || (major == 4 && minor < 90);
}

// Sizes of OPENFILENAMEA on 32-bit Windows, full and without the trailing fields. 64-bit
// Windows has wider pointers and announces its own sizes, 152 and 136.
inline constexpr uint32_t kDialogRecordBytes32 = 88;
inline constexpr uint32_t kOldDialogRecordBytes32 = 76;

}  // namespace quorvel
