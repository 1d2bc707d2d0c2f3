// The library's errors: message texts from its string table, thrown as standard exceptions.
// Every text is compared where the operation that throws it is tested.
// Covers: ArchiveTreeStrings and the message ids, VeskException as the library throws it.
#include "ArchiveTreeStrings.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "MessageIds.h"
#include "VeskException.h"

namespace vesk {
namespace {

TEST(ArchiveTreeStringsTest, StandardHandlersCatchTheLibrarysErrors) {
  try {
    throw VeskException(archiveTreeStrings(kMsgSetEndOfFileFailed));
  } catch (const std::exception& error) {
    EXPECT_STREQ(error.what(), "Set end of file failed");
  }
}

}  // namespace
}  // namespace vesk
