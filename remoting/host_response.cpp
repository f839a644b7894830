#include "remoting/host_response.h"

#include <cstring>
#include <exception>

#include "binding/library_allocator.h"
#include "remoting/remoting_response.h"

namespace Quor {

const char hostResponseEmptyText[1] = "";

namespace {

char* copyText(std::string_view text) {
  auto* copy = static_cast<char*>(libraryAllocate(text.size() + 1));
  if (copy == nullptr) return nullptr;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

// The core calls these through the record; nothing may escape into its frames.
std::uint32_t forwardStreamRead(void* stream, void* buffer, std::uint32_t* size, std::uint8_t* more) {
  if (stream == nullptr) return 0;
  try {
    return static_cast<ResponseStream*>(stream)->read(buffer, size, more);
  } catch (...) {
    return 0;
  }
}

void forwardStreamRelease(void* stream) {
  try {
    delete static_cast<ResponseStream*>(stream);
  } catch (...) {
  }
}

}  // namespace

void releaseHostResponse(HostResponse* response) {
  if (response == nullptr) return;
  releaseHostValue(response->body);
  if (response->errorMessageOwned != 0) libraryFree(response->errorMessage);
  response->errorMessage = nullptr;
  response->errorMessageOwned = 0;
  const char* contentType = response->contentType;
  if (contentType != nullptr && contentType != hostResponseEmptyText && contentType[0] != '\0') {
    libraryFree(const_cast<char*>(contentType));
  }
  HostHeader* headers = response->headers;
  if (headers != nullptr) {
    for (std::uint32_t index = 0; index < response->headerCount; ++index) {
      libraryFree(const_cast<char*>(headers[index].name));
      libraryFree(const_cast<char*>(headers[index].value));
    }
    libraryFree(headers);
  }
  std::memset(static_cast<void*>(response), 0, sizeof *response);
}

void resetHostResponse(HostResponse& response) {
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  response.release = &releaseHostResponse;
}

void fillHostResponse(HostResponse& hostResponse, RemotingResponse& response, const TypeRegistry* registry) {
  bool resultConverted = true;
  if (!response.result.ok()) {
    if (hostResponse.errorMessageOwned != 0) libraryFree(hostResponse.errorMessage);
    hostResponse.errorMessage = copyText(response.result.error());
    hostResponse.errorMessageOwned = hostResponse.errorMessage != nullptr ? 1 : 0;
  } else {
    resultConverted = valueToHostValue(hostResponse.body, response.result.value(), registry);
  }

  hostResponse.transferFlag = response.transferFlag;
  hostResponse.transferMode =
      response.transferMode >= 1 && response.transferMode <= 3 ? static_cast<std::uint32_t>(response.transferMode) : 0;
  hostResponse.status = resultConverted ? static_cast<std::int32_t>(response.status) : 400;

  if (response.contentType.empty()) {
    hostResponse.contentType = hostResponseEmptyText;
  } else {
    const char* copy = copyText(response.contentType);
    hostResponse.contentType = copy != nullptr ? copy : hostResponseEmptyText;
  }

  hostResponse.headerCount = static_cast<std::uint32_t>(response.headers.size());
  if (!response.headers.empty()) {
    const std::size_t bytes = response.headers.size() * sizeof(HostHeader);
    auto* headers = static_cast<HostHeader*>(libraryAllocate(bytes));
    if (headers == nullptr) {
      hostResponse.headerCount = 0;
    } else {
      std::memset(static_cast<void*>(headers), 0, bytes);
      std::size_t index = 0;
      for (const auto& [name, value] : response.headers) {
        headers[index].name = copyText(name);
        headers[index].value = copyText(value);
        ++index;
      }
    }
    hostResponse.headers = headers;
  }

  if (response.stream != nullptr) {
    ResponseStream* stream = response.stream.release();
    std::uint32_t size = 0;
    try {
      size = stream->size();
    } catch (...) {
      size = 0;
    }
    hostResponse.stream = stream;
    hostResponse.streamSize = size;
    hostResponse.reserved = 0;
    hostResponse.streamRead = &forwardStreamRead;
    hostResponse.streamRelease = &forwardStreamRelease;
  }
}

bool hostValueToValue(HostResponse& sink, Value& target, const HostValue& source, std::string_view name) {
  HostErrorSink errorSink;
  std::memcpy(&errorSink, &sink, sizeof errorSink);
  const bool converted = hostValueToValue(errorSink, target, source, name);
  if (!converted) std::memcpy(static_cast<void*>(&sink), &errorSink, sizeof errorSink);
  return converted;
}

}  // namespace Quor
