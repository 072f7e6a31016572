// Test entry point: a QApplication (offscreen, set by ctest) around the GoogleTest run.
#include <QApplication>
#include "support/WhenModal.h"

#include <gtest/gtest.h>

namespace {

// Ends the dialog watchers of a test with it (see WhenModal.h).
class WatcherEnd final : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { ++orvid::test::testsEnded(); }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest's discovery) needs no window system.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new WatcherEnd);
    return RUN_ALL_TESTS();
}
