// The outcome of packing: the result code of the status line, and the message that names the
// file at fault when something failed.
#pragma once

#include <string>

#include "decoders/result_code.h"

namespace quorvel {

struct PackResult {
  ResultCode code = ResultCode::Success;
  std::string message;

  bool ok() const { return code == ResultCode::Success; }
  static PackResult failed(ResultCode code, const std::string& path, const std::string& reason) {
    return PackResult{code, path + ": " + reason};
  }
};

}  // namespace quorvel
