#include "ToolError.h"

#include <cstring>

namespace vesk {

ToolError::ToolError(int status, const std::string& message)
    : std::runtime_error(message), status_(status) {}

ToolError ToolError::system(const std::string& action, const std::string& path, int error) {
  return ToolError(kUser, action + " '" + path + "': " + std::strerror(error));
}

}  // namespace vesk
