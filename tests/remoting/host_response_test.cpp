#include "remoting/host_response.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "binding/library_allocator.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"
#include "tests/binding/binding_test_types.h"

namespace Quor {
namespace {

// Packed fields are read by value: a reference to them may be misaligned.
template <class T>
T copyOf(T value) {
  return value;
}

bool isAllZero(const HostResponse& response) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&response);
  for (std::size_t index = 0; index < sizeof response; ++index) {
    if (bytes[index] != 0) return false;
  }
  return true;
}

class CountingStream : public ResponseStream {
 public:
  explicit CountingStream(bool* destroyed) : destroyed_(destroyed) {}
  ~CountingStream() override { *destroyed_ = true; }
  std::uint32_t read(void* buffer, std::uint32_t* size, std::uint8_t* more) override {
    std::memcpy(buffer, "abc", 3);
    *size = 3;
    *more = 0;
    return 1;
  }
  std::uint32_t size() override { return 3; }

 private:
  bool* destroyed_;
};

class ThrowingStream : public ResponseStream {
 public:
  std::uint32_t read(void*, std::uint32_t*, std::uint8_t*) override { throw std::runtime_error("broken"); }
  std::uint32_t size() override { return 0; }
};

class HostResponseFill : public ::testing::Test {
 protected:
  HostResponseFill() {
    BindingTest::registerPluginTypes(registry_);
    std::memset(static_cast<void*>(&hostResponse_), 0xCD, sizeof hostResponse_);
    resetHostResponse(hostResponse_);
    live_ = libraryLiveBytes();
  }

  TypeRegistry registry_;
  HostResponse hostResponse_;
  std::uint64_t live_ = 0;
};

TEST_F(HostResponseFill, ResetGivesAZeroRecordWithItsReleaseFunction) {
  EXPECT_EQ(copyOf(hostResponse_.release), &releaseHostResponse);
  EXPECT_EQ(copyOf(hostResponse_.errorMessage), nullptr);
  EXPECT_EQ(copyOf(hostResponse_.status), 0);
}

TEST_F(HostResponseFill, ResultBodyStatusAndEmptyContentType) {
  RemotingResponse response;
  response.result.value().writeMember("answer").setSigned(std::int32_t{42});
  response.status = 200;
  fillHostResponse(hostResponse_, response, &registry_);
  EXPECT_EQ(copyOf(hostResponse_.body.type), 10u);
  EXPECT_EQ(copyOf(hostResponse_.status), 200);
  EXPECT_EQ(copyOf(hostResponse_.errorMessage), nullptr);
  EXPECT_EQ(copyOf(hostResponse_.contentType), hostResponseEmptyText);
  EXPECT_EQ(copyOf(hostResponse_.headers), nullptr);
  EXPECT_EQ(copyOf(hostResponse_.headerCount), 0u);
  EXPECT_EQ(copyOf(hostResponse_.stream), nullptr);
  EXPECT_EQ(copyOf(hostResponse_.streamRead), nullptr);

  HostErrorSink sink;
  std::memset(&sink, 0, sizeof sink);
  Value back;
  ASSERT_TRUE(hostValueToValue(sink, back, hostResponse_.body, "<result>"));
  EXPECT_EQ(back.member("answer").getSigned(), 42);

  // The static empty text is not freed (the sanitizer build would report it).
  hostResponse_.release(&hostResponse_);
  EXPECT_TRUE(isAllZero(hostResponse_));
  EXPECT_EQ(libraryLiveBytes(), live_);
}

TEST_F(HostResponseFill, FailuresTravelAsAnOwnedErrorText) {
  RemotingResponse response;
  response.setError("Invalid function");
  response.status = 404;
  fillHostResponse(hostResponse_, response, &registry_);
  EXPECT_STREQ(hostResponse_.errorMessage, "Invalid function");
  EXPECT_EQ(copyOf(hostResponse_.errorMessageOwned), 1);
  EXPECT_EQ(copyOf(hostResponse_.status), 404);
  EXPECT_EQ(copyOf(hostResponse_.body.type), 0u);
  releaseHostResponse(&hostResponse_);
  EXPECT_EQ(libraryLiveBytes(), live_);
}

TEST_F(HostResponseFill, EnumerationsAreWrittenByName) {
  RemotingResponse response;
  response.result.value().setEnum(EnumValue{2, &StaticType::HashRecord<Client::PluginResourceEventType>().code});
  fillHostResponse(hostResponse_, response, &registry_);
  EXPECT_EQ(copyOf(hostResponse_.body.type), 6u);
  EXPECT_STREQ(static_cast<const char*>(hostResponse_.body.payload.buffer.data), "Delete");
  releaseHostResponse(&hostResponse_);
  EXPECT_EQ(libraryLiveBytes(), live_);
}

TEST_F(HostResponseFill, AResultThatCannotBeConvertedGivesStatus400AndThePartIsReleased) {
  RemotingResponse response;
  response.result.value() = BindingTest::nestedStructures(700);
  response.status = 200;
  fillHostResponse(hostResponse_, response, &registry_);
  EXPECT_EQ(copyOf(hostResponse_.status), 400);
  EXPECT_EQ(copyOf(hostResponse_.body.type), 10u);
  releaseHostResponse(&hostResponse_);
  EXPECT_EQ(libraryLiveBytes(), live_);
}

TEST_F(HostResponseFill, TransferSettingsContentTypeAndHeaders) {
  RemotingResponse response;
  response.transferFlag = 1;
  response.transferMode = 3;
  response.contentType = "application/json";
  response.headers = {{"X-B", "2"}, {"X-A", "1"}};
  fillHostResponse(hostResponse_, response, &registry_);
  EXPECT_EQ(copyOf(hostResponse_.transferFlag), 1);
  EXPECT_EQ(copyOf(hostResponse_.transferMode), 3u);
  EXPECT_STREQ(hostResponse_.contentType, "application/json");
  ASSERT_EQ(copyOf(hostResponse_.headerCount), 2u);
  const HostHeader* headers = hostResponse_.headers;
  EXPECT_STREQ(headers[0].name, "X-A");
  EXPECT_STREQ(headers[0].value, "1");
  EXPECT_STREQ(headers[1].name, "X-B");
  releaseHostResponse(&hostResponse_);
  EXPECT_TRUE(isAllZero(hostResponse_));
  EXPECT_EQ(libraryLiveBytes(), live_);

  for (const std::int32_t mode : {0, 4, -1, 1000}) {
    resetHostResponse(hostResponse_);
    RemotingResponse other;
    other.transferMode = mode;
    fillHostResponse(hostResponse_, other, nullptr);
    EXPECT_EQ(copyOf(hostResponse_.transferMode), 0u) << mode;
    releaseHostResponse(&hostResponse_);
  }
}

TEST_F(HostResponseFill, TheStreamMovesToTheRecordAndIsLeftToTheCore) {
  bool destroyed = false;
  RemotingResponse response;
  response.stream = std::make_unique<CountingStream>(&destroyed);
  fillHostResponse(hostResponse_, response, &registry_);
  EXPECT_EQ(response.stream, nullptr);
  ASSERT_NE(copyOf(hostResponse_.stream), nullptr);
  EXPECT_EQ(copyOf(hostResponse_.streamSize), 3u);
  EXPECT_EQ(copyOf(hostResponse_.reserved), 0u);
  char buffer[4096];
  std::uint32_t size = sizeof buffer;
  std::uint8_t more = 1;
  EXPECT_EQ(hostResponse_.streamRead(hostResponse_.stream, buffer, &size, &more), 1u);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(more, 0);
  EXPECT_EQ(std::string(buffer, size), "abc");

  void* stream = hostResponse_.stream;
  const HostStreamRelease streamRelease = hostResponse_.streamRelease;
  releaseHostResponse(&hostResponse_);
  EXPECT_FALSE(destroyed);
  streamRelease(stream);
  EXPECT_TRUE(destroyed);
}

TEST_F(HostResponseFill, AStreamThatThrowsReportsAReadError) {
  RemotingResponse response;
  response.stream = std::make_unique<ThrowingStream>();
  fillHostResponse(hostResponse_, response, nullptr);
  char buffer[16];
  std::uint32_t size = sizeof buffer;
  std::uint8_t more = 0;
  EXPECT_EQ(hostResponse_.streamRead(hostResponse_.stream, buffer, &size, &more), 0u);
  hostResponse_.streamRelease(hostResponse_.stream);
  releaseHostResponse(&hostResponse_);
}

TEST(HostResponseRelease, AllZeroAndNullRecordsAreHarmless) {
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  const std::uint64_t live = libraryLiveBytes();
  releaseHostResponse(&response);
  EXPECT_TRUE(isAllZero(response));
  releaseHostResponse(nullptr);
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(RemotingResponseErrors, SetErrorReplacesTheResultAndDestroysTheStream) {
  bool destroyed = false;
  RemotingResponse response;
  response.result.value().setString("partial");
  response.stream = std::make_unique<CountingStream>(&destroyed);
  response.setError("boom");
  EXPECT_FALSE(response.result.ok());
  EXPECT_EQ(response.result.error(), "boom");
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(response.stream, nullptr);
  response.setError(std::string(response.result.error()) + " again");
  EXPECT_EQ(response.result.error(), "boom again");
}

TEST(RemotingRequestRecord, DefaultsAndTypeIdentity) {
  const RemotingRequest request;
  EXPECT_EQ(request.version, 1u);
  EXPECT_EQ(request.method, RequestMethod::None);
  EXPECT_EQ(request.owner, nullptr);
  EXPECT_TRUE(request.arguments.empty());
  EXPECT_STREQ(StaticType::Name<RemotingRequest>(),
               "const char *__cdecl StaticType::Name<struct Quor::RemotingRequest>(void)");
}

TEST(HostResponseErrorSink, ConversionFailuresLandInTheResponse) {
  HostResponse response;
  resetHostResponse(response);
  HostValue bad;
  std::memset(&bad, 0, sizeof bad);
  bad.type = 42;
  Value value;
  EXPECT_FALSE(hostValueToValue(response, value, bad, "arg"));
  EXPECT_STREQ(response.errorMessage,
               "Couldn't assign value to 'arg' of type object because the input is of an incompatible type ''.");
  EXPECT_EQ(copyOf(response.errorMessageOwned), 1);
  EXPECT_EQ(copyOf(response.release), &releaseHostResponse);
  response.release(&response);
  EXPECT_TRUE(isAllZero(response));
}

}  // namespace
}  // namespace Quor
