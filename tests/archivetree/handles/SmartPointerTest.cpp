#include "SmartPointer.h"

#include <gtest/gtest.h>

#include <list>

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
    EXPECT_EQ(first.useCount(), 1);
    {
      SmartPointer<Base> second(first);
      SmartPointer<Base> third;
      third = second;
      EXPECT_EQ(first.useCount(), 3);
      EXPECT_EQ(third.get(), first.get());
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

TEST(SmartPointerTest, NullHandlesHaveRecordsToo) {
  SmartPointer<Base> empty;
  EXPECT_FALSE(empty);
  EXPECT_EQ(empty.get(), nullptr);
  SmartPointer<Base> copy(empty);
  EXPECT_EQ(empty.useCount(), 2);
  std::list<SmartPointer<Base>> list(3, empty);
  EXPECT_EQ(empty.useCount(), 5);
}

TEST(SmartPointerTest, Versions) {
  const SmartPointer<Base> handle;
  EXPECT_STREQ(handle.version(), "SmartPointer 1.0, 10.09.1999");
  EXPECT_STREQ(handle.SmartBase::version(), "SmartBase 1.0, 10.09.1999");
  const ObjRef<Base> record(nullptr);
  EXPECT_STREQ(record.version(), "ObjRef 1.0, 16.08.1999");
  EXPECT_STREQ(record.RefBase::version(), "RefBase 1.0, 16.08.1999");
}

}  // namespace
}  // namespace vesk
