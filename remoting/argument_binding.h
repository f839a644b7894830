#pragma once
// Gathering the arguments of one call: texts from headers, path and query,
// typed arguments from the core, and the body, each into the argument of the
// parameter it names, with the first failure reported in the response.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "binding/function_description.h"
#include "binding/value.h"
#include "remoting/argument_location.h"
#include "remoting/function_registration.h"
#include "remoting/host_request.h"
#include "remoting/remoting_response.h"

namespace Quor {

// Elements that index paths ("list.5=x") may add to collections in one
// call. An index names an element to create, so without a bound a few bytes
// of query could ask for gigabytes of empty elements.
inline constexpr std::size_t maxIndexedElements = 65536;

class ArgumentBinding {
 public:
  // arguments receives one value per parameter of function: it is sized
  // now, and non-optional bool parameters start as false.
  ArgumentBinding(const FunctionDescription& function, const FunctionRegistration& registration,
                  std::vector<Value>& arguments, RemotingResponse& response);

  // Binds (key, text) pairs from source, in order, until the response fails.
  // The key is a parameter name, optionally followed by "." and an index
  // path of element numbers (C notation: decimal, "0x" hexadecimal, leading
  // "0" octal) and member names.
  template <class Pairs>
  void bindTexts(const Pairs& pairs, ArgumentLocation source) {
    for (const auto& [key, text] : pairs) {
      if (!response_.result.ok()) return;
      bindText(key, text, source);
    }
  }
  void bindText(std::string_view key, std::string_view text, ArgumentLocation source);

  // The header values of parameters that may come from a header (location
  // Any or Header), looked up by the parameter's name in lower case; a later
  // header of the same name wins. Bound as header texts.
  void bindHeaders(const HostHeader* headers, std::uint32_t count);

  // Typed arguments, in order, until the response fails: a named one goes to
  // the parameter of that name, an unnamed one to parameter (position +
  // pathParameterCount).
  void bindTypedArguments(const HostRequestArgument* entries, std::uint32_t count, std::size_t pathParameterCount);

  // The first parameter whose location is Body receives the decoded body;
  // a decoding failure replaces any earlier failure.
  void bindBody(const HostRequest& request);

 private:
  std::optional<std::size_t> findParameter(std::string_view name) const;
  void bindIndexPath(std::size_t parameter, std::string_view baseName, std::string_view indexPath,
                     std::string_view text);
  void fail(std::string message) { response_.setError(message); }

  const FunctionDescription& function_;
  const FunctionRegistration& registration_;
  std::vector<Value>& arguments_;
  RemotingResponse& response_;
  std::size_t indexedElementsLeft_ = maxIndexedElements;
};

}  // namespace Quor
