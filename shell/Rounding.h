// Float geometry to integers the way the window's arithmetic wants it: to the nearest, halves to the even
// neighbour (what the FPU does in its default mode, not what std::round does).
#pragma once

#include <cstdint>

// Rounds into a 16-bit value; false, with *out left as it was, when the result does not fit.
bool RoundHalfEven16(double value, int16_t* out);

// Rounds into 32 bits; 0 when the result does not fit.
int32_t RoundHalfEven32(double value);
