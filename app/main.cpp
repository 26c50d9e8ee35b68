#include "app/driver.h"

int main(int argc, char** argv) {
  return quorvel::runDriver(argc, argv);
}
