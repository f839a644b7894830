#pragma once
// The message templates of failed requests to the core; {method}, {url} and
// {error} become the error's text fields of those names.

namespace Quor::HostCallMessages {

inline constexpr const char* notSent = "Request not sent: Error converting parameters for {method} {url}: {error}";
inline constexpr const char* errorResponse = "Error response for {method} {url}: {error}";
inline constexpr const char* streamNotRead = "Error reading streamed response for {method} {url}: {error}";
inline constexpr const char* responseNotConverted = "Error converting response for {method} {url}: {error}";

inline constexpr const char* streamReadError = "Stream read error";
// A streamed answer left unread, and a request refused, once stop has begun.
inline constexpr const char* pluginStopping = "Plugin is stopping";

// The name a response body or streamed answer is converted under.
inline constexpr const char* resultName = "<result>";

}  // namespace Quor::HostCallMessages
