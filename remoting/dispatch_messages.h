#pragma once
// The fixed sentences of the dispatcher and the argument binding. Numbered
// placeholders are filled by FormatMessage. The misspelling of the extra-data
// message is the system's own text and stays as it is.

namespace Quor::DispatchMessages {

inline constexpr const char* invalidFunction = "Invalid function";
inline constexpr const char* unknownArgument = "Unknown argument '%1' for '%2'.";
inline constexpr const char* invalidLocation = "Argument '%1' for '%2' was specified in an invalid location.";
inline constexpr const char* expectedValue = "Expected value for argument '%1'.";
inline constexpr const char* indexIncorrectFormat = "Index %1 is in an incorrect format";
inline constexpr const char* indexOutOfRange = "Index %1 is out of range";
inline constexpr const char* extraMessagePackData = "Extra MessgePack data found in body";
inline constexpr const char* unsupportedBodyContentType = "Unsupported body content type";
// An exception that carries no text of its own (one not derived from std::exception).
inline constexpr const char* unknownException = "Unknown exception";
inline constexpr const char* messagePackArgument = "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
inline constexpr const char* jsonArgument = "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
inline constexpr const char* yamlArgument = "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";

}  // namespace Quor::DispatchMessages
