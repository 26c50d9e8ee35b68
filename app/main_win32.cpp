// The program's entry on Windows: the arguments arrive as the system's wide text, split by the C
// library's usual rules, and go on as UTF-8 like every other text inside the program, so that a
// path in any language works whatever the system's code page is.
#include <string>
#include <vector>

#include "app/driver.h"
#include "platform/win32/wide_text.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(quorvel::toUtf8(argv[i]));
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return quorvel::runDriver(argc, pointers.data());
}
