// Conversion between IEEE double and the 80-bit IEEE extended format (x87 layout: 64-bit
// mantissa with an explicit integer bit, 15-bit exponent biased by 16383, sign), little-endian.
// Done with integer arithmetic so that the result does not depend on the processor's long double.
#pragma once

#include <array>
#include <cstdint>

namespace quillset {

using TExtended80 = std::array<uint8_t, 10>;

// Exact: every double is representable.
TExtended80 DoubleToExtended(double value);

// Rounds to nearest, ties to even; values beyond the double range become infinities, values
// below it denormals or zero; NaNs stay NaNs. Unnormal and pseudo-denormal encodings are read
// by their value (mantissa x 2^(exponent - 16383 - 63)).
double ExtendedToDouble(const TExtended80& bytes);

} // namespace quillset
