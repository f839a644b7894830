#include "formats/json_error_text.h"

#include <iterator>

namespace Quor {

const char* jsonErrorText(unsigned code) {
  // The runtime's own wording, kept here rather than taken from the
  // tokenizer's English table, whose texts differ between its versions.
  static const char* const texts[] = {
      "No error.",
      "The document is empty.",
      "The document root must not follow by other values.",
      "Invalid value.",
      "Missing a name for object member.",
      "Missing a colon after a name of object member.",
      "Missing a comma or '}' after an object member.",
      "Missing a comma or ']' after an array element.",
      "Incorrect hex digit after \\u escape in string.",
      "The surrogate pair in string is invalid.",
      "Invalid escape character in string.",
      "Missing a closing quotation mark in string.",
      "Invalid encoding in string.",
      "Number too big to be stored in double.",
      "Miss fraction part in number.",
      "Miss exponent in number.",
      "Terminate parsing due to Handler error.",
      "Unspecific syntax error.",
  };
  return code < std::size(texts) ? texts[code] : "Unknown error.";
}

}  // namespace Quor
