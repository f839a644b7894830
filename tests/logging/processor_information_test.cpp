#include "logging/processor_information.h"

#include <gtest/gtest.h>

namespace Quor {
namespace {

std::int32_t QCP_STDCALL fakeProcessorInformation(void*, std::uint32_t* length) {
  *length = 24;
  return 0;
}

int gLookups = 0;
ProcessorInformationLookup::Outcome gNextOutcome = ProcessorInformationLookup::Outcome::Failed;

ProcessorInformationLookup countingLookup() {
  ++gLookups;
  return {gNextOutcome,
          gNextOutcome == ProcessorInformationLookup::Outcome::Found ? fakeProcessorInformation : nullptr};
}

class ProcessorInformationCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLookups = 0;
    gNextOutcome = ProcessorInformationLookup::Outcome::Failed;
  }
};

TEST_F(ProcessorInformationCacheTest, FailedLookupIsTriedAgainFoundOneIsKept) {
  ProcessorInformationCache cache(countingLookup);
  EXPECT_EQ(cache.get(), nullptr);
  EXPECT_EQ(cache.get(), nullptr);
  EXPECT_EQ(gLookups, 2);
  gNextOutcome = ProcessorInformationLookup::Outcome::Found;
  EXPECT_EQ(cache.get(), fakeProcessorInformation);
  gNextOutcome = ProcessorInformationLookup::Outcome::Absent;
  EXPECT_EQ(cache.get(), fakeProcessorInformation);
  EXPECT_EQ(gLookups, 3);
}

TEST_F(ProcessorInformationCacheTest, AbsentFunctionIsRememberedAsAbsent) {
  ProcessorInformationCache cache(countingLookup);
  gNextOutcome = ProcessorInformationLookup::Outcome::Absent;
  EXPECT_EQ(cache.get(), nullptr);
  gNextOutcome = ProcessorInformationLookup::Outcome::Found;
  EXPECT_EQ(cache.get(), nullptr);
  EXPECT_EQ(gLookups, 1);
}

TEST(ProcessorInformation, SystemLookupAnswersTheSameEveryTime) {
  EXPECT_EQ(processorInformationFunction(), processorInformationFunction());
#if !defined(_WIN32)
  EXPECT_EQ(processorInformationFunction(), nullptr);
#endif
}

}  // namespace
}  // namespace Quor
