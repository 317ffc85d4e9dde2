#include "platform/path.h"

#include <algorithm>

std::string os_path(const char* path) {
    std::string result = path ? path : "";
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}
