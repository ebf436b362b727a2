#include <gtest/gtest.h>

#include "platform/CommandRouter.h"
#include "platform/FakeClock.h"

namespace
{
class CTarget : public CCmdTarget
{
public:
    using CCmdTarget::OnCommand;
    using CCmdTarget::OnUpdateCommand;
    int m_nRuns = 0;
};
} // namespace

TEST(CommandRouter, FirstUpdateHandlerDecidesAndUnhandledIdsAreDisabled)
{
    CTarget view, document, frame;
    bool bViewEnabled = false;
    view.OnUpdateCommand(1,
                         [&](CCmdUI& ui)
                         {
                             ui.Enable(bViewEnabled);
                             ui.SetCheck(true);
                         });
    view.OnCommand(1, [&] { ++view.m_nRuns; });
    document.OnCommand(1, [&] { ++document.m_nRuns; });
    document.OnCommand(2, [&] { ++document.m_nRuns; });
    frame.OnUpdateCommand(3,
                          [](CCmdUI& ui)
                          {
                              ui.Enable();
                              ui.SetText("pane");
                          });
    CCommandRouter router;
    router.AddTarget(&view);
    router.AddTarget(&document);
    router.AddTarget(&frame);

    // An update handler that disables wins over a later command handler, and execution obeys it.
    EXPECT_FALSE(router.Update(1).m_bEnabled);
    EXPECT_TRUE(router.Update(1).m_bChecked);
    EXPECT_FALSE(router.Execute(1));
    bViewEnabled = true;
    EXPECT_TRUE(router.Execute(1));
    EXPECT_EQ(view.m_nRuns, 1);
    EXPECT_EQ(document.m_nRuns, 0);
    // A command handler alone enables its id.
    EXPECT_TRUE(router.Update(2).m_bEnabled);
    EXPECT_TRUE(router.Execute(2));
    EXPECT_EQ(document.m_nRuns, 1);
    EXPECT_EQ(router.Update(3).m_strText, "pane");
    // Nobody handles 4.
    const CCmdUI none = router.Update(4);
    EXPECT_FALSE(none.m_bEnabled);
    EXPECT_FALSE(none.m_bHasText);
    EXPECT_FALSE(router.Execute(4));
    router.RemoveTarget(&view);
    EXPECT_TRUE(router.Update(1).m_bEnabled);
}

TEST(FakeClock, ScriptedTicksThenTheLastRepeats)
{
    CFakeClock clock;
    clock.m_nNow = 5;
    EXPECT_EQ(clock.GetTickCount(), 5u);
    clock.Script({10, 25});
    EXPECT_EQ(clock.GetTickCount(), 10u);
    EXPECT_EQ(clock.GetTickCount(), 25u);
    EXPECT_EQ(clock.GetTickCount(), 25u);
}
