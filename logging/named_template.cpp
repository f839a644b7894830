#include "logging/named_template.h"

#include <array>
#include <cstddef>
#include <string>
#include <type_traits>
#include <variant>

#include "binding/format_message.h"

namespace Quor {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool hasTypeSuffix(std::string_view name) {
  static constexpr std::array<std::string_view, 7> suffixes = {"_bool", "_int",  "_long", "_float",
                                                               "_str",  "_time", "_ip"};
  const std::size_t underscore = name.rfind('_');
  if (underscore == std::string_view::npos) return false;
  const std::string_view last = name.substr(underscore);
  for (std::string_view suffix : suffixes) {
    if (last == suffix) return true;
  }
  return false;
}

const char* typeSuffix(const ErrorFieldValue& value) {
  switch (value.index()) {
    case 0:
      return "_bool";
    case 1:
    case 2:
      return "_int";
    case 3:
      return "_float";
    default:
      return "_str";
  }
}

// false, 0, 0.0 and the empty text.
bool isEmptyValue(const ErrorFieldValue& value) {
  return std::visit(
      [](const auto& content) {
        using Content = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<Content, std::string>) {
          return content.empty();
        } else {
          return content == Content{};
        }
      },
      value);
}

// The conversion FormatMessage applies to a bare "%N" of this kind of value,
// for when the bare form cannot be used.
const char* bareConversion(const ErrorFieldValue& value) {
  switch (value.index()) {
    case 1:
      return "lld";
    case 2:
      return "llu";
    case 3:
      return "g";
    case 0:
      return "d";
    default:
      return "s";
  }
}

class TemplateWriter {
 public:
  TemplateWriter(std::string_view format, std::span<const ErrorFieldValue> values, ErrorFields& fields)
      : format_(format), values_(values), fields_(fields) {}

  std::string run() {
    while (position_ < format_.size()) {
      const char c = format_[position_];
      if (c == '%') {
        if (!ordinaryPlaceholder()) break;
      } else if (c == '{') {
        if (at(position_ + 1) == '{') {
          put('{');
          position_ += 2;
        } else {
          namedPlaceholder();
        }
      } else if (c == '}') {
        put('}');
        position_ += at(position_ + 1) == '}' ? 2 : 1;
      } else {
        put(c);
        ++position_;
      }
    }
    return std::move(output_);
  }

 private:
  char at(std::size_t index) const { return index < format_.size() ? format_[index] : '\0'; }

  // A digit or "$" right after a bare "%N" would change how the formatter
  // reads it: the placeholder then gets the explicit form "%N$<conversion>".
  void put(char c) {
    if ((isDigit(c) || c == '$') && output_.size() == bareEnd_) {
      output_ += '$';
      output_ += bareConversion_;
    }
    output_ += c;
  }

  void put(std::string_view text) {
    for (char c : text) put(c);
  }

  // False when the step ends here.
  bool ordinaryPlaceholder() {
    if (at(position_ + 1) == '%') {
      output_ += "%%";
      position_ += 2;
      return true;
    }
    const std::size_t count = values_.size();
    const FormatPlaceholder mine = readFormatPlaceholder(format_, position_, count, next_);
    if (!mine.readable) return false;
    const FormatPlaceholder formatters = readFormatPlaceholder(format_, position_, count, formatterNext_);
    const bool agree = mine.argument == formatters.argument &&
                       mine.widthStar.argument == formatters.widthStar.argument &&
                       mine.precisionStar.argument == formatters.precisionStar.argument;
    if (agree) {
      output_.append(format_.substr(position_, mine.length));
      formatterNext_ = formatters.nextSequence;
    } else if (mine.argument <= count) {
      writeExplicit(mine);
    } else {
      // The formatter stops at a placeholder without a value; so does this
      // step, instead of letting the formatter fill in some other value.
      return false;
    }
    next_ = mine.argument + 1;
    position_ += mine.length;
    return true;
  }

  static void appendStar(std::string& out, const FormatStar& star) {
    out += '*';
    out += std::to_string(star.argument);
    out += '$';
  }

  void writeExplicit(const FormatPlaceholder& placeholder) {
    output_ += '%';
    output_ += std::to_string(placeholder.argument);
    output_ += '$';
    output_ += placeholder.flags;
    if (placeholder.widthStar.present) {
      appendStar(output_, placeholder.widthStar);
    } else {
      output_ += placeholder.widthDigits;
    }
    if (placeholder.hasPrecision) {
      output_ += '.';
      if (placeholder.precisionStar.present) {
        appendStar(output_, placeholder.precisionStar);
      } else {
        output_ += placeholder.precisionDigits;
      }
    }
    output_ += placeholder.lengthModifier;
    output_ += placeholder.conversion;
  }

  void namedPlaceholder() {
    std::size_t i = position_ + 1;
    const bool withSuffix = at(i) == '#';
    if (withSuffix) ++i;
    std::string name;
    std::string conversion;
    std::string alternative;
    bool hide = false;
    bool inConversion = false;
    bool inAlternative = false;
    bool closed = false;
    while (i < format_.size()) {
      char c = format_[i++];
      if (c == '}') {
        closed = true;
        break;
      }
      if (c == '!') {
        hide = true;
        continue;
      }
      if (c == ':') {
        inConversion = true;
        continue;
      }
      if (c == '?') {
        inAlternative = true;
        continue;
      }
      if (c == '{') continue;
      if (c == '\\') {
        if (i >= format_.size()) break;
        c = format_[i++];
      }
      (inConversion ? conversion : inAlternative ? alternative : name) += c;
    }
    position_ = i;
    // An unclosed placeholder at the end of the template writes nothing.
    if (!closed) return;
    if (next_ <= values_.size()) {
      resolve(values_[next_ - 1], name, conversion, alternative, withSuffix, hide);
    }
    ++next_;
  }

  void resolve(const ErrorFieldValue& value, std::string& name, const std::string& conversion,
               const std::string& alternative, bool withSuffix, bool hide) {
    if (withSuffix && !hasTypeSuffix(name)) name += typeSuffix(value);
    if (!alternative.empty() && isEmptyValue(value)) {
      put(alternative);
      return;
    }
    if (!name.empty()) fields_.set(name, value);
    if (hide) {
      while (!output_.empty() && isBlank(output_.back())) output_.pop_back();
      return;
    }
    output_ += '%';
    output_ += std::to_string(next_);
    if (!conversion.empty()) {
      output_ += '$';
      output_ += conversion;
    } else {
      bareEnd_ = output_.size();
      bareConversion_ = bareConversion(value);
    }
  }

  std::string_view format_;
  std::span<const ErrorFieldValue> values_;
  ErrorFields& fields_;
  std::string output_;
  std::size_t position_ = 0;
  // The number of the next value by this step's counting.
  std::size_t next_ = 1;
  // FormatMessage's own sequence counter, which only ordinary placeholders
  // without a position (and their "*"s) advance.
  std::size_t formatterNext_ = 1;
  // Where the last bare "%N" ended, and the conversion it stands for.
  std::size_t bareEnd_ = std::string::npos;
  const char* bareConversion_ = "s";
};

}  // namespace

std::string namedTemplate(std::string_view format, std::span<const ErrorFieldValue> values, ErrorFields& fields) {
  return TemplateWriter(format, values, fields).run();
}

}  // namespace Quor
