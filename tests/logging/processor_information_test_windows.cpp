#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "logging/processor_information.h"

namespace Quor {
namespace {

TEST(ProcessorInformationWindows, FunctionDescribesTheProcessors) {
  const ProcessorInformationFunction function = processorInformationFunction();
  ASSERT_NE(function, nullptr);
  std::uint32_t length = 0;
  EXPECT_EQ(function(nullptr, &length), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GT(length, 0u);
  EXPECT_EQ(length % sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION), 0u);
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  ASSERT_NE(function(records.data(), &length), 0);
  bool sawCore = false;
  for (const auto& record : records) {
    sawCore = sawCore || record.Relationship == RelationProcessorCore;
  }
  EXPECT_TRUE(sawCore);
}

}  // namespace
}  // namespace Quor
