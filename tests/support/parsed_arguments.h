// An OptionParser that has parsed the arguments as if they followed the program name.
#pragma once

#include <initializer_list>
#include <vector>

#include "app/option_parser.h"

namespace quorvel::test {

inline OptionParser parsedArguments(std::initializer_list<const char*> arguments, char switchChar) {
  std::vector<const char*> vector{"quorvel"};
  vector.insert(vector.end(), arguments);
  OptionParser parser(switchChar);
  parser.parse(static_cast<int32_t>(vector.size()), vector.data());
  return parser;
}

}  // namespace quorvel::test
