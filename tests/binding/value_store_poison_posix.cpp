// Only the native build runs under the address sanitizer.
#include <gtest/gtest.h>

#include "binding/value.h"
#include "binding/value_store.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QCP_TEST_ASAN 1
#endif
#endif

namespace Quor {
namespace {

#ifdef QCP_TEST_ASAN
TEST(ValueStorePoisonDeathTest, UseOfAFreedPoolBlockIsCaught) {
  EXPECT_DEATH(
      {
        ValueStore store;
        auto* block = static_cast<volatile char*>(store.allocateBlock(24));
        block[4] = 1;
        store.freeBlock(const_cast<char*>(block));
        block[4] = 2;
      },
      "use-after-poison");
}

TEST(ValueStorePoisonDeathTest, ReadingAReleasedMemberIsCaught) {
  EXPECT_DEATH(
      {
        Value tree;
        Value& list = tree.writeMember("list");
        list.appendElement().setSigned(1);
        const Value* element = &list.element(0);
        tree.writeMember("list").setEmpty();
        volatile auto kind = element->kind();
        (void)kind;
      },
      "use-after-poison");
}
#endif

}  // namespace
}  // namespace Quor
