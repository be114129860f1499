// The missing value: -9999 marks a number that is not given, in every record, option and
// computation; transformations give it for points off the earth or off the map.
#pragma once

#include <cstdint>

inline constexpr int32_t MISSING = -9999;
inline constexpr float MISSING_F = -9999.0f;
inline constexpr double MISSING_D = -9999.0;

inline constexpr bool is_missing(float v) {
    return v == MISSING_F;
}
inline constexpr bool is_missing(double v) {
    return v == MISSING_D;
}
inline constexpr bool is_missing(int32_t v) {
    return v == MISSING;
}
