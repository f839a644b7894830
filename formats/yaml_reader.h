#pragma once
// Reads YAML text into a Value, on libyaml's event parser.

#include <cstddef>
#include <string_view>

#include "binding/value.h"

namespace Quor {

// Nodes that aliases may copy in one reading, counting every value of every
// copy (an alias of a scalar copies one). A few hundred bytes of nested
// aliases can otherwise stand for billions of nodes.
inline constexpr std::size_t maxYamlAliasExpansion = 1000000;

// Bytes of text that aliases may copy in one reading: the length of every
// string, blob and member name of every copy, and of every alias used as a
// key. Copies share their strings inside the tree, but whatever turns the
// tree into text or native strings pays for each one, so the budget grows
// with the document: yamlAliasTextPerByte bytes for each byte read, never
// less than minYamlAliasText nor more than maxYamlAliasText.
inline constexpr std::size_t yamlAliasTextPerByte = 64;
inline constexpr std::size_t minYamlAliasText = 1024 * 1024;
inline constexpr std::size_t maxYamlAliasText = 64 * 1024 * 1024;

// The alias text budget of a document of textLength bytes.
constexpr std::size_t yamlAliasTextBudget(std::size_t textLength) {
  if (textLength > maxYamlAliasText / yamlAliasTextPerByte) return maxYamlAliasText;
  const std::size_t budget = textLength * yamlAliasTextPerByte;
  return budget < minYamlAliasText ? minYamlAliasText : budget;
}

// Reads one YAML document (a stream whose documents after a non-empty one
// fail with "Multi-document YAML is not supported."). Empty text, or a
// document without content, gives the empty value with success.
//
// Mappings become structures (a repeated key addresses the same member, so
// its last value wins), sequences collections; scalars are typed as
// formats/yaml_scalar.h describes. Mapping keys must be string scalars
// (untagged or tagged !!str); an empty key is a member with the empty name.
// An alias copies its anchored node (a deep copy, independent of the
// anchor); an alias of an anchored key gives the key's text. An alias used
// as a key stands for the text of an anchored key or of an anchored string
// value; any other node fails as a key that is not a string scalar.
//
// Messages end with the line and column (1-based) of the event:
//   "Invalid mapping key. Only string scalar keys are allowed. At line: L col: C"
//   "Unexpected start of sequence. At line: L col: C" (of mapping likewise)
//   "Cannot deserialize cyclic aliases. Alias "A". At line: L col: C"
//   "Undefined alias encountered: "A". At line: L col: C"
//   "Duplicate occurrence of anchor "A". At line: L col: C"
//   "The YAML document is nested deeper than 512 levels. At line: L col: C"
//   "YAML aliases expand to more than 1000000 nodes. Alias "A". At line: L col: C"
//   "YAML aliases copy more than B bytes of text. Alias "A". At line: L col: C"
//     (B the document's budget, yamlAliasTextBudget)
// Scalars that do not convert fail with the conversion's message, unknown
// tags with "Unsupported YAML tag '<tag>'."; libyaml's own errors with
// "YAML parser error: <problem>. At line: L col: C", where line and column
// are libyaml's (0-based).
//
// Collections and structures nested deeper than maxNestingDepth fail, alias
// copies included. An alias whose anchored node a repeated key has since
// replaced copies what now stands at the node's place, and is undefined when
// nothing does.
ValueResult parseYaml(std::string_view text);

// A NUL-terminated text (null reads as empty).
ValueResult parseYaml(const char* text);

namespace detail {

// The reader parseYaml turns to at a document's first anchor or alias: it
// keeps every node at its place in the tree as it reads, so that an alias
// can copy it. Reads any document as parseYaml does; tests compare the two.
ValueResult parseYamlInPlace(std::string_view text);

}  // namespace detail

}  // namespace Quor
