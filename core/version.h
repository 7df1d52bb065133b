#pragma once
// The program's version, as its captions show it.

namespace tarnwick {

inline constexpr const char* kVersion = "1.40";

}  // namespace tarnwick
