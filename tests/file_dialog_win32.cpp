// The Open dialog record exactly as the common dialog receives it (its wide form).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/open_dialog.h"
#include "platform/win32/file_dialog.h"

namespace quorvel {
namespace {

// Bytes of the record that set-up must leave zero: everything but the fields it fills.
bool zeroOutside(const OPENFILENAMEW& record,
                 std::initializer_list<std::pair<size_t, size_t>> set) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (size_t i = 0; i < sizeof record; ++i) {
    bool filled = false;
    for (auto [offset, size] : set) filled = filled || (i >= offset && i < offset + size);
    if (!filled && bytes[i] != 0) return false;
  }
  return true;
}

#define FIELD(name) \
  std::pair<size_t, size_t>(offsetof(OPENFILENAMEW, name), sizeof(OPENFILENAMEW::name))

TEST(FileDialogWin32, ProgramRecordHoldsExactlyTheOpenSetUp) {
  FileDialog dialog(1, kOpenDialogDefaultExtension, nullptr, kOpenDialogExtraFlags,
                    kOpenDialogFilter, nullptr);
  const OPENFILENAMEW& r = dialog.request();
  // Every system from 4.90 on (Wine included) takes the full record.
  ASSERT_FALSE(FileDialog::usesOldDialogRecord());
  EXPECT_EQ(r.lStructSize, sizeof(OPENFILENAMEW));
  EXPECT_EQ(r.hwndOwner, nullptr);
  EXPECT_EQ(std::wstring(r.lpstrFilter, sizeof kOpenDialogFilter),
            std::wstring(kOpenDialogFilter, kOpenDialogFilter + sizeof kOpenDialogFilter));
  EXPECT_EQ(r.nFilterIndex, 0u);
  EXPECT_NE(r.lpstrFile, nullptr);
  EXPECT_EQ(r.nMaxFile, 260u);
  EXPECT_NE(r.lpstrFileTitle, nullptr);
  EXPECT_EQ(r.nMaxFileTitle, 256u);
  EXPECT_EQ(r.Flags, 0x880026u);
  EXPECT_EQ(std::wstring(r.lpstrDefExt), L"a");
  EXPECT_EQ(r.lpfnHook, &fileDialogHook);
  EXPECT_EQ(dialog.filePath(), "");
  EXPECT_EQ(dialog.fileTitle(), "");
  EXPECT_TRUE(zeroOutside(r, {FIELD(lStructSize), FIELD(lpstrFilter), FIELD(lpstrFile),
                              FIELD(nMaxFile), FIELD(lpstrFileTitle), FIELD(nMaxFileTitle),
                              FIELD(Flags), FIELD(lpstrDefExt), FIELD(lpfnHook)}));
  EXPECT_EQ(offsetof(OPENFILENAMEW, pvReserved) + sizeof(void*) + 2 * sizeof(DWORD),
            sizeof(OPENFILENAMEW));
}

TEST(FileDialogWin32, OwnerAndInitialNameAreKept) {
  HWND owner = reinterpret_cast<HWND>(0x1234);
  std::string longName(300, 'n');
  FileDialog dialog(0, "bmp", longName.c_str(), 0, kOpenDialogFilter, owner);
  EXPECT_EQ(dialog.request().hwndOwner, owner);
  EXPECT_EQ(dialog.request().Flags, 0x880020u);
  EXPECT_EQ(dialog.filePath(), std::string(259, 'n'));
  // A name in any language comes back as it went in.
  const char* greek = "C:\\\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7\\t.a";  // Ελένη
  FileDialog named(1, "a", greek, 0, kOpenDialogFilter, nullptr);
  EXPECT_EQ(named.filePath(), greek);
}

TEST(FileDialogWin32, HookLeavesEveryMessageToTheSystem) {
  EXPECT_EQ(fileDialogHook(nullptr, WM_INITDIALOG, 0, 0), 0u);
  EXPECT_EQ(fileDialogHook(nullptr, WM_NOTIFY, 1, 2), 0u);
}

}  // namespace
}  // namespace quorvel
