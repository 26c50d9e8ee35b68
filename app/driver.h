#pragma once

namespace quorvel {

// The whole program: options, input, conversion, status line. Always answers 0.
int runDriver(int argc, char** argv);
// The usage text, with the switch character of this platform.
void printUsage();
// "quorvel version 0.03" and its line end.
void printVersion();

}  // namespace quorvel
