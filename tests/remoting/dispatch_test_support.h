#pragma once
// Requests as the core builds them, sent through the endpoint handler, and
// the answer read back from the response record.

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "binding/host_value.h"
#include "binding/library_allocator.h"
#include "binding/value.h"
#include "remoting/dispatcher.h"
#include "remoting/function_registration.h"
#include "remoting/host_request.h"
#include "remoting/host_response.h"
#include "remoting/request_method.h"

namespace Quor::RemotingTest {

// Packed fields are read by value: a reference to them may be misaligned.
template <class T>
T copyOf(T value) {
  return value;
}

struct Answer {
  std::string error;  // empty when the record carries no error text
  bool failed = false;
  std::int32_t status = 0;
  Value body;
};

// Builds a HostRequest; owns every text and typed argument it points to.
class TestRequest {
 public:
  explicit TestRequest(RequestMethod method, std::string path, const FunctionRegistration* endpoint = nullptr) {
    std::memset(static_cast<void*>(&request_), 0, sizeof request_);
    request_.method = static_cast<std::uint32_t>(method);
    path_ = std::move(path);
    request_.path = path_.c_str();
    if (endpoint != nullptr) request_.endpointContext = const_cast<EndpointContext*>(&endpoint->context);
  }
  TestRequest(const TestRequest&) = delete;
  TestRequest& operator=(const TestRequest&) = delete;
  ~TestRequest() {
    for (HostRequestArgument& argument : arguments_) releaseHostValue(argument.value);
  }

  TestRequest& header(std::string name, std::string value) {
    const char* storedName = keep(std::move(name));
    const char* storedValue = keep(std::move(value));
    headers_.push_back({storedName, storedValue});
    request_.headers = headers_.data();
    request_.headerCount = static_cast<std::uint32_t>(headers_.size());
    return *this;
  }
  // A typed argument; name null for a positional one.
  TestRequest& argument(const char* name, const Value& value) {
    HostRequestArgument entry;
    std::memset(static_cast<void*>(&entry), 0, sizeof entry);
    entry.name = name != nullptr ? keep(name) : nullptr;
    valueToHostValue(entry.value, value, nullptr);
    arguments_.push_back(entry);
    request_.arguments = arguments_.data();
    request_.argumentCount = static_cast<std::uint32_t>(arguments_.size());
    return *this;
  }
  // A body of bytes; the length is the byte count (no terminating NUL).
  TestRequest& body(std::string contentType, std::string bytes) {
    request_.contentType = keep(std::move(contentType));
    body_ = std::move(bytes);
    request_.body = body_.data();
    request_.bodyLength = static_cast<std::uint32_t>(body_.size());
    return *this;
  }
  TestRequest& customMethod(std::string text) {
    request_.customMethod = keep(std::move(text));
    return *this;
  }
  TestRequest& requestId(std::uint32_t id) {
    request_.requestId = id;
    return *this;
  }
  HostRequest& record() { return request_; }

 private:
  const char* keep(std::string text) { return texts_.emplace_back(std::move(text)).c_str(); }

  HostRequest request_;
  std::string path_;
  std::string body_;
  std::deque<std::string> texts_;
  std::vector<HostHeader> headers_;
  std::vector<HostRequestArgument> arguments_;
};

// Reads the record and releases it through its own release function.
inline Answer readAndRelease(HostResponse& response) {
  Answer answer;
  answer.status = copyOf(response.status);
  if (response.errorMessage != nullptr) {
    answer.failed = true;
    answer.error = response.errorMessage;
  }
  HostErrorSink sink;
  std::memset(static_cast<void*>(&sink), 0, sizeof sink);
  hostValueToValue(sink, answer.body, response.body, "<body>");
  if (response.release != nullptr) response.release(&response);
  return answer;
}

// Sends the request to the endpoint handler, as the core does.
inline Answer send(const HostRequest& request) {
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0xCD, sizeof response);
  handleRequest(&response, &request);
  return readAndRelease(response);
}

inline Answer send(TestRequest& request) { return send(request.record()); }

}  // namespace Quor::RemotingTest
