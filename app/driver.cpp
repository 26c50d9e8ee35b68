#include "app/driver.h"

#include <cstdio>

namespace quorvel {

void printUsage() {}

int runDriver(int, char**) {
  printUsage();
  return 0;
}

}  // namespace quorvel
