// The program's Open dialog on Windows: the common dialog, owned by the active window.
#include <windows.h>

#include "platform/open_dialog.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/win32/file_dialog.h"

namespace quorvel {

int showOpenDialog(char* path, size_t capacity) {
  FileDialog dialog(1, kOpenDialogDefaultExtension, nullptr, kOpenDialogExtraFlags,
                    kOpenDialogFilter, nullptr);
  int answer = dialog.showModal(GetActiveWindow());
  if (answer == 1 && capacity > 0) copyTruncated(path, dialog.filePath().c_str(), capacity);
  return answer;
}

}  // namespace quorvel
