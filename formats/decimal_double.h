#pragma once
// Reads a plain decimal number into the nearest double without the C
// library: the common case of the YAML scalar reader, which leaves every
// other text to strtod.

#include <string_view>

namespace Quor {

// When the whole text is a decimal number (an optional "-", digits, a point
// and digits, either run possibly empty but not both, and an optional
// exponent: "-12.50e-3", "7.", ".5") of at most 19 significant digits, sets
// number to the double nearest to it, ties to even, as a correctly rounding
// strtod does (infinity past the largest double, a signed zero below the
// smallest) and returns true. False for any other text, number left alone.
bool readDecimalDouble(std::string_view text, double& number);

}  // namespace Quor
