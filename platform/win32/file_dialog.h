// The Windows common file dialog (GetOpenFileNameA / GetSaveFileNameA) with the buffers that
// receive its answer.
#pragma once

#include <windows.h>
// windows.h first: commdlg.h needs its types.
#include <commdlg.h>

#include <cstdint>

namespace quorvel {

class FileDialog {
 public:
  // openMode != 0 shows the Open dialog, 0 the Save dialog. The default extension (without the
  // dot) and the filter list are kept by reference and must outlive the dialog. initialFileName
  // and owner may be null.
  FileDialog(uint32_t openMode, const char* defaultExtension, const char* initialFileName,
             uint32_t extraFlags, const char* filter, HWND owner);
  FileDialog(const FileDialog&) = delete;
  FileDialog& operator=(const FileDialog&) = delete;

  // 1 when a file was chosen (its path in filePath, its name in fileTitle), 2 when the user
  // cancelled or the dialog could not be shown. ownerWindow is used when set-up gave no owner.
  int showModal(HWND ownerWindow);

  // True when the system only knows the short form of the record.
  static bool usesOldDialogRecord();

  const OPENFILENAMEA& request() const { return request_; }
  const char* filePath() const { return filePath_; }
  const char* fileTitle() const { return fileTitle_; }

 private:
  OPENFILENAMEA request_;
  uint32_t openMode_;
  char fileTitle_[256];
  char filePath_[MAX_PATH];
};

// Leaves every message to the system's own handling.
UINT_PTR CALLBACK fileDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace quorvel
