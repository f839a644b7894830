#pragma once
// The arguments a request path carries after its first "?".

#include <string_view>

#include "remoting/route.h"

namespace Quor {

// Splits what follows the first "?" of path at every "&", each piece at its
// first "=" into key and value (a piece without "=" is a key with the empty
// value; an empty piece gives the empty key), decodes both (urlDecode), and
// keeps the last value of a repeated key. Empty without a "?".
PathCaptures parseQuery(std::string_view path);

}  // namespace Quor
