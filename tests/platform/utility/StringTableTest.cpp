#include "StringTable.h"

#include <gtest/gtest.h>

#include "UtilityStrings.h"

namespace vesk {
namespace {

class FakeModuleTable : public StringTable {
 public:
  void* instance() const override { return const_cast<int*>(&module_); }

 private:
  int module_ = 0;
};

TEST(StringTableTest, ReadsEveryTableOfItsModuleAndNamesMissingIds) {
  FakeModuleTable table;
  const StringResource first[] = {{7, "seven"}, {3, "three"}};
  const StringResource second[] = {{9, "nine"}};
  StringTable::registerResources(table.instance(), first, 2);
  StringTable::registerResources(table.instance(), second, 1);
  EXPECT_EQ(table[3], StdString("three"));
  EXPECT_EQ(table[7], StdString("seven"));
  EXPECT_EQ(table[9], StdString("nine"));
  EXPECT_NE(table[8].view().find('8'), std::string_view::npos);
  EXPECT_FALSE(table[8].empty());

  StringTable::withdrawResources(table.instance(), first);
  EXPECT_EQ(table[9], StdString("nine"));
  EXPECT_NE(table[3], StdString("three"));
  StringTable::withdrawResources(table.instance(), second);
}

TEST(StringTableTest, UtilityMessages) {
  EXPECT_NE(UtilityStrings().instance(), nullptr);
  EXPECT_EQ(utilityStrings(1).str(), "Cannot read from stream");
  EXPECT_EQ(utilityStrings(2).str(), "Cannot write to stream");
  EXPECT_EQ(utilityStrings(3).str(), "Cannot position stream");
  EXPECT_EQ(utilityStrings(20).str(), "Cannot query stream size");
}

}  // namespace
}  // namespace vesk
