#pragma once

namespace quorvel {

// The whole program: options, input, conversion, status line. Always answers 0.
int runDriver(int argc, char** argv);
void printUsage();

}  // namespace quorvel
