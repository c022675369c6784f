// An error as the user is shown it: the system's error number and a description that names
// the path concerned.
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

struct Error {
    std::int32_t number = 0;
    std::string description;  // UTF-8
};

}  // namespace corvane
