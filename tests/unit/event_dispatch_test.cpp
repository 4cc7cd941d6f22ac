#include "platform/event_dispatch.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "tests/support/scripted_dialogs.h"

namespace ch {
namespace {

TEST(EventDispatch, UncaughtFailureIsShownAndTheProgramGoesOn) {
    test::ScriptedDialogs dialogs;
    dispatchEvent(dialogs, [] { throw RuntimeError(errPathNotFound); });
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].prompt, "Run-time error '76':\r\n\r\nPath not found");
    EXPECT_EQ(dialogs.shown[0].style, vbCritical);
    EXPECT_FALSE(dialogs.shown[0].title.has_value());

    bool ran = false;
    dispatchEvent(dialogs, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

} // namespace
} // namespace ch
