// The version of this program, as the About texts show it.
#pragma once

namespace qvc {

inline constexpr const char* kGuiVersion = "3.01";

} // namespace qvc
