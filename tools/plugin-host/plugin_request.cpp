#include "plugin_request.h"

#include <cstring>

#include "host_value_json.h"

namespace PluginHost {
namespace {

constexpr char jsonContentType[] = "application/json";
// A streamed answer is read in pieces of this size, and at most this much.
constexpr std::uint32_t streamPiece = 4096;
constexpr std::size_t longestStream = 64u << 20;

std::string readStream(Quor::HostResponse& response) {
  std::string text;
  std::vector<char> buffer(streamPiece);
  std::uint8_t more = 1;
  int emptyReads = 0;
  while (true) {
    std::uint32_t size = streamPiece;
    if (response.streamRead(response.stream, buffer.data(), &size, &more) == 0) {
      text += " [stream read error]";
      break;
    }
    if (size > streamPiece) size = streamPiece;
    text.append(buffer.data(), size);
    if (more == 0) break;
    if (size == 0 && ++emptyReads == 1000) {
      text += " [the stream gave nothing in 1000 reads]";
      break;
    }
    if (text.size() > longestStream) {
      text += " [cut after 64 MiB]";
      break;
    }
  }
  return text;
}

}  // namespace

Outcome<PreparedRequest> PreparedRequest::prepare(const Step& step) {
  PreparedRequest prepared;
  prepared.method_ = step.method;
  prepared.path_ = step.path;
  for (const NamedArgument& argument : step.arguments) {
    Outcome<Quor::HostValue> value = ownedHostValue(argument.value);
    if (!value) return Failure{"--arg " + argument.name + ": " + value.error()};
    prepared.argumentNames_.push_back(argument.name);
    prepared.arguments_.push_back({nullptr, value.value()});
  }
  prepared.headerTexts_ = step.headers;
  if (step.body) {
    prepared.body_ = *step.body;
    prepared.contentType_ = step.contentType.empty() ? jsonContentType : step.contentType;
    prepared.hasBody_ = true;
  }
  return prepared;
}

PreparedRequest::PreparedRequest(PreparedRequest&& other) noexcept
    : method_(other.method_),
      path_(std::move(other.path_)),
      argumentNames_(std::move(other.argumentNames_)),
      arguments_(std::move(other.arguments_)),
      headerTexts_(std::move(other.headerTexts_)),
      body_(std::move(other.body_)),
      contentType_(std::move(other.contentType_)),
      hasBody_(other.hasBody_) {
  other.arguments_.clear();
}

PreparedRequest::~PreparedRequest() {
  for (Quor::HostRequestArgument& argument : arguments_) Quor::releaseHostValue(argument.value);
}

void PreparedRequest::point() {
  for (std::size_t index = 0; index < arguments_.size(); ++index) {
    // An empty name sends the argument by position.
    arguments_[index].name = argumentNames_[index].empty() ? nullptr : argumentNames_[index].c_str();
  }
  headers_.clear();
  for (const Header& header : headerTexts_) headers_.push_back({header.name.c_str(), header.value.c_str()});
}

const Quor::HostRequest& PreparedRequest::request(void* endpointContext, std::uint32_t requestId) {
  point();
  std::memset(static_cast<void*>(&request_), 0, sizeof request_);
  request_.method = method_;
  request_.path = path_.c_str();
  request_.arguments = arguments_.empty() ? nullptr : arguments_.data();
  request_.argumentCount = static_cast<std::uint32_t>(arguments_.size());
  request_.endpointContext = endpointContext;
  request_.headers = headers_.empty() ? nullptr : headers_.data();
  request_.headerCount = static_cast<std::uint32_t>(headers_.size());
  if (hasBody_) {
    request_.contentType = contentType_.c_str();
    request_.body = body_.c_str();
    request_.bodyLength = static_cast<std::uint32_t>(body_.size());
  }
  request_.requestId = requestId;
  return request_;
}

PrintedAnswer takeAnswer(Quor::HostResponse& response) {
  PrintedAnswer answer;
  answer.status = response.status;
  if (response.errorMessage != nullptr) {
    answer.error = response.errorMessage;
  } else {
    if (response.body.type == static_cast<std::uint32_t>(Quor::HostValueKind::BorrowedBlob) ||
        response.body.type == static_cast<std::uint32_t>(Quor::HostValueKind::OwnedBlob)) {
      const Quor::HostValueBuffer& blob = response.body.payload.buffer;
      if (blob.data != nullptr) answer.blob.emplace(static_cast<const char*>(blob.data), blob.count);
    }
    Outcome<std::string> body = hostValueJson(response.body);
    if (body) {
      answer.body = std::move(body.value());
    } else {
      answer.error = "the answer's body cannot be read: " + body.error();
    }
  }
  if (response.contentType != nullptr) answer.contentType = response.contentType;
  for (std::uint32_t index = 0; response.headers != nullptr && index < response.headerCount; ++index) {
    const Quor::HostHeader& header = response.headers[index];
    answer.headers.emplace_back(header.name != nullptr ? header.name : "", header.value != nullptr ? header.value : "");
  }
  if (response.stream != nullptr) {
    if (response.streamRead != nullptr) answer.stream = readStream(response);
    if (response.streamRelease != nullptr) response.streamRelease(response.stream);
  }
  if (response.release != nullptr) response.release(&response);
  return answer;
}

}  // namespace PluginHost
