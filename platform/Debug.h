// The system's debug output: one message at a time to the process's standard error.
#pragma once

#include <string_view>

namespace platform {

void debugOutput(std::u16string_view message);
void debugOutputUtf8(std::string_view message);

} // namespace platform
