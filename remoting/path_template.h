#pragma once
// Path templates such as "/items/{id}" and what they compile to.
//
// A template is literal text with parameter groups in braces: "{name}" takes
// one path segment (no "/"), "{+name}" the rest of the path, "{#name}" what
// follows a "#". compileTemplate produces the regular-expression text of the
// template (special characters escaped, no anchors) together with the
// parameters in template order, and the same template as a list of pieces
// from which PathMatcher matches paths.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Quor {

enum class PathParameterKind : std::uint32_t {
  // A "}" outside braces: no group in the pattern.
  Stray = 0,
  Segment = 1,   // "([^/]*)"
  Rest = 2,      // "(.*)"
  Fragment = 3,  // "#(.*)"
};

struct PathParameter {
  PathParameterKind kind = PathParameterKind::Stray;
  std::string name;
};

// One piece of a compiled template: literal text, or a capture group.
struct TemplatePiece {
  enum class Type : std::uint8_t {
    Literal,
    Segment,  // any run of characters without "/"
    Rest,     // any run of characters without a line break ("." of the pattern)
  };
  Type type = Type::Literal;
  std::string literal;  // Literal pieces only
};

struct CompiledTemplate {
  std::string pattern;                     // the regular-expression text
  std::vector<PathParameter> parameters;   // one per "{...}" group and stray "}", in template order
  std::vector<TemplatePiece> pieces;       // the pattern, piece by piece
};

CompiledTemplate compileTemplate(std::string_view templateText);

// Whole-path matching of compiled pieces with the captures a backtracking
// regular-expression engine gives the same pattern (every group greedy, the
// earlier group first), in time and memory linear in the path's length for
// a given template, and without recursion: paths come from the core and may
// be long or hostile.
class PathMatcher {
 public:
  PathMatcher() = default;
  explicit PathMatcher(std::vector<TemplatePiece> pieces);

  // True when the whole path matches; the first groupCount() entries of
  // groups (which must hold that many) then view into path, one per group
  // piece, in order. The caller owns the room, so a match allocates nothing
  // for the few groups a template has.
  bool match(std::string_view path, std::span<std::string_view> groups) const;

  std::size_t groupCount() const { return groupCount_; }

 private:
  std::vector<TemplatePiece> pieces_;
  // Per piece, the literal characters before it: where it starts at the
  // earliest, since the path is matched from its first character.
  std::vector<std::size_t> earliestStart_;
  std::size_t groupCount_ = 0;
  std::size_t literalLength_ = 0;  // the least a matching path holds
};

}  // namespace Quor
