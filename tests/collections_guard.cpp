// Linked into every test binary that reads the shared puzzle collections: when ctest runs a
// test that needs them (velmo_add_gtest's COLLECTIONS argument sets VELMO_NEEDS_COLLECTIONS)
// and they are missing, the test is skipped instead of failing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

#include "test_support.h"

namespace {

class CCollectionsGuard final : public ::testing::Environment {
  public:
    void SetUp() override {
        const char* needed = std::getenv("VELMO_NEEDS_COLLECTIONS");
        if (needed != nullptr && std::string_view(needed) == "1" && !HaveCollections()) {
            GTEST_SKIP() << "no puzzle collections at " VELMO_PUZZLE_DIR;
        }
    }
};

[[maybe_unused]] ::testing::Environment* const kGuard =
    ::testing::AddGlobalTestEnvironment(new CCollectionsGuard);

}  // namespace
