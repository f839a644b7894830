#include "remoting/path_template.h"

#include <array>
#include <cstring>
#include <utility>

namespace Quor {

namespace {

// The characters escaped in the literal parts of a pattern.
constexpr std::string_view specialCharacters = "^$.*+?()[]|\\";

enum State : std::uint32_t { literalState = 0, segmentState = 1, restState = 2, fragmentState = 3 };

void appendLiteral(std::vector<TemplatePiece>& pieces, char character) {
  if (pieces.empty() || pieces.back().type != TemplatePiece::Type::Literal) pieces.emplace_back();
  pieces.back().literal.push_back(character);
}

// Whether a group piece cannot extend over this character: a segment ends
// at "/", the rest of a path at a line break (what "." does not match).
bool stopsGroup(TemplatePiece::Type type, char character) {
  if (type == TemplatePiece::Type::Segment) return character == '/';
  return character == '\n' || character == '\r';
}

}  // namespace

CompiledTemplate compileTemplate(std::string_view templateText) {
  CompiledTemplate compiled;
  compiled.pattern.reserve(templateText.size());
  std::uint32_t state = literalState;
  std::string name;
  for (const char character : templateText) {
    if (character == '{') {
      state = segmentState;
      continue;
    }
    if (character == '}') {
      switch (state) {
        case segmentState:
          compiled.pattern += "([^/]*)";
          compiled.pieces.push_back({TemplatePiece::Type::Segment, {}});
          break;
        case restState:
          compiled.pattern += "(.*)";
          compiled.pieces.push_back({TemplatePiece::Type::Rest, {}});
          break;
        case fragmentState:
          compiled.pattern += "#(.*)";
          appendLiteral(compiled.pieces, '#');
          compiled.pieces.push_back({TemplatePiece::Type::Rest, {}});
          break;
        default:
          break;
      }
      compiled.parameters.push_back({static_cast<PathParameterKind>(state), std::move(name)});
      name.clear();
      state = literalState;
      continue;
    }
    if (state == literalState) {
      if (specialCharacters.find(character) != std::string_view::npos) compiled.pattern += '\\';
      compiled.pattern += character;
      appendLiteral(compiled.pieces, character);
      continue;
    }
    if (state == segmentState && name.empty()) {
      if (character == '+') {
        state = restState;
        continue;
      }
      if (character == '#') {
        state = fragmentState;
        continue;
      }
    }
    name += character;
  }
  return compiled;
}

PathMatcher::PathMatcher(std::vector<TemplatePiece> pieces) : pieces_(std::move(pieces)) {
  earliestStart_.reserve(pieces_.size());
  for (const TemplatePiece& piece : pieces_) {
    earliestStart_.push_back(literalLength_);
    if (piece.type == TemplatePiece::Type::Literal) {
      literalLength_ += piece.literal.size();
    } else {
      ++groupCount_;
    }
  }
}

bool PathMatcher::match(std::string_view path, std::span<std::string_view> groups) const {
  const std::size_t length = path.size();
  if (length < literalLength_) return false;
  if (!pieces_.empty() && pieces_.front().type == TemplatePiece::Type::Literal &&
      path.substr(0, pieces_.front().literal.size()) != pieces_.front().literal) {
    return false;
  }

  // reach[piece * width + position]: pieces from `piece` on match the path
  // from `position` to its end. Filled from the last piece backwards, each
  // row from the one after it, so the whole table costs one pass per piece.
  // A row is filled from its piece's earliest start on: the row before it
  // reads no position below that, and the cells left out stay 0.
  const std::size_t count = pieces_.size();
  const std::size_t width = length + 1;
  const std::size_t cells = (count + 1) * width;
  std::array<std::uint8_t, 512> inlineCells;
  std::vector<std::uint8_t> heapCells;
  std::uint8_t* reach = inlineCells.data();
  if (cells > inlineCells.size()) {
    heapCells.resize(cells);
    reach = heapCells.data();
  }
  std::memset(reach, 0, cells);
  reach[count * width + length] = 1;

  for (std::size_t index = count; index-- > 0;) {
    const TemplatePiece& piece = pieces_[index];
    const std::uint8_t* next = reach + (index + 1) * width;
    std::uint8_t* row = reach + index * width;
    const std::size_t from = earliestStart_[index];
    if (piece.type == TemplatePiece::Type::Literal) {
      // The first character settles most positions without a comparison.
      // The first piece is read at the path's start only.
      const std::size_t size = piece.literal.size();
      const char first = piece.literal.front();
      const std::size_t last = index == 0 ? 0 : length - size;
      for (std::size_t position = from; position <= last; ++position) {
        row[position] = next[position + size] != 0 && path[position] == first &&
                        path.compare(position, size, piece.literal) == 0;
      }
    } else {
      // The group may end anywhere from its start up to the first character
      // it cannot take.
      bool reachable = next[length] != 0;
      row[length] = reachable;
      for (std::size_t position = length; position-- > from;) {
        reachable = next[position] != 0 || (!stopsGroup(piece.type, path[position]) && reachable);
        row[position] = reachable;
      }
    }
  }
  if (reach[0] == 0) return false;

  // Each group takes the longest run after which the rest still matches:
  // what backtracking with greedy groups settles on first.
  std::size_t position = 0;
  std::size_t group = 0;
  for (std::size_t index = 0; index < count; ++index) {
    const TemplatePiece& piece = pieces_[index];
    if (piece.type == TemplatePiece::Type::Literal) {
      position += piece.literal.size();
      continue;
    }
    const std::uint8_t* next = reach + (index + 1) * width;
    std::size_t end = position;
    while (end < length && !stopsGroup(piece.type, path[end])) ++end;
    while (next[end] == 0) --end;
    groups[group++] = path.substr(position, end - position);
    position = end;
  }
  return true;
}

}  // namespace Quor
