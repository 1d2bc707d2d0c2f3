// Counted handles and their shared records. Covers: SmartPointer, SmartBase, ObjRef, RefBase.
#include "SmartPointer.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

struct Base {
  virtual ~Base() = default;
};

// Counts the live objects through the base class's virtual destructor.
struct Counted : Base {
  explicit Counted(int& live) : live_(live) { ++live_; }
  ~Counted() override { --live_; }
  int& live_;
};

TEST(SmartPointerTest, SharesOneRecordAndTheLastHandleDeletes) {
  int live = 0;
  {
    SmartPointer<Base> first(new Counted(live));
    {
      SmartPointer<Base> second(first);
      SmartPointer<Base> third;
      third = second;
      EXPECT_EQ(first.useCount(), 3);
      EXPECT_TRUE(third == first);
      third = third;
      EXPECT_EQ(first.useCount(), 3);
    }
    EXPECT_EQ(first.useCount(), 1);
    EXPECT_EQ(live, 1);
    first = SmartPointer<Base>(new Counted(live));
    EXPECT_EQ(live, 1);
  }
  EXPECT_EQ(live, 0);
}

}  // namespace
}  // namespace vesk
