#include "common/error.h"

namespace twk {

Error::Error(std::string domain, int code, std::string description)
    : std::runtime_error(description),
      domain_(std::move(domain)),
      code_(code),
      description_(std::move(description))
{
}

} // namespace twk
