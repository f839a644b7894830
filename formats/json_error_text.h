#pragma once
// The English texts of the JSON tokenizer's error codes as this runtime words
// them in its messages ("Error: <text> at offset <n>.").

namespace Quor {

// The text of error code 0 to 17; "Unknown error." for any other code.
const char* jsonErrorText(unsigned code);

}  // namespace Quor
