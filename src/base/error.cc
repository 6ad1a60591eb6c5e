#include "base/error.h"

#include <cstring>

std::string Error::message() const {
  std::string joined;
  for (const std::string& m : messages_) {
    if (!joined.empty()) joined += ": ";
    joined += m;
  }
  return joined;
}

Error os_error(int errnum) { return Error(std::strerror(errnum)); }
