// Rounding half to even into fixed-width integers.
#include "shell/Rounding.h"

#include <cmath>

bool RoundHalfEven16(double value, int16_t* out) {
    // nearbyint follows the default rounding mode: to nearest, halves to the even neighbour.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) return false;
    *out = static_cast<int16_t>(rounded);
    return true;
}

int32_t RoundHalfEven32(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return 0;
    return static_cast<int32_t>(rounded);
}
