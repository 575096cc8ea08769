// The message queue: posting, sending, processing in order, handles that die meanwhile, and the
// display of errors that reach the loop.
#include "orvel/host/core/Application.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

struct TRecorder : TWindowTarget {
    std::vector<UINT> Seen;
    std::function<void(TMessage&)> OnMessage;
    void DispatchWindowMessage(TMessage& m) override {
        Seen.push_back(m.Msg);
        if (OnMessage) OnMessage(m);
    }
};

class ApplicationTest : public ::testing::Test {
protected:
    void TearDown() override {
        Application().ClearQueue();
        Application().ShownErrors.clear();
        Application().RefusePosts(false);
    }
};

} // namespace

TEST_F(ApplicationTest, PostedMessagesArriveInOrderAndOnlyWhenProcessed) {
    TRecorder a, b;
    HWND ha = Application().AllocateHandle(&a);
    HWND hb = Application().AllocateHandle(&b);
    EXPECT_TRUE(PostMessage(ha, WM_USER + 160, 0, 0));
    EXPECT_TRUE(PostMessage(hb, WM_USER + 165, 0, 0));
    EXPECT_TRUE(PostMessage(ha, WM_USER + 161, 3, 0));
    EXPECT_TRUE(a.Seen.empty());
    // A handler that posts again is served in the same loop, after what was queued before.
    a.OnMessage = [&](TMessage& m) {
        if (m.Msg == WM_USER + 160) PostMessage(ha, WM_USER + 167, 0, 0);
    };
    EXPECT_EQ(Application().ProcessMessages(), 4);
    EXPECT_EQ(a.Seen, (std::vector<UINT>{WM_USER + 160, WM_USER + 161, WM_USER + 167}));
    EXPECT_EQ(b.Seen, (std::vector<UINT>{WM_USER + 165}));
    Application().DeallocateHandle(ha);
    Application().DeallocateHandle(hb);
}

TEST_F(ApplicationTest, MissingAndDestroyedHandles) {
    TRecorder a;
    HWND h = Application().AllocateHandle(&a);
    EXPECT_FALSE(PostMessage(0, WM_USER, 0, 0));
    EXPECT_TRUE(PostMessage(h, WM_USER, 0, 0));
    Application().DeallocateHandle(h);
    EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0));
    TRecorder b;
    HWND h2 = Application().AllocateHandle(&b);
    EXPECT_NE(h2, h); // never reused
    Application().ProcessMessages();
    EXPECT_TRUE(a.Seen.empty()); // dropped: its window died before it was handled
    EXPECT_TRUE(b.Seen.empty());
    EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);
    Application().RefusePosts(true);
    EXPECT_FALSE(PostMessage(h2, WM_USER, 0, 0));
    Application().DeallocateHandle(h2);
}

TEST_F(ApplicationTest, SendDispatchesAtOnceAndAnswers) {
    TRecorder a;
    a.OnMessage = [](TMessage& m) { m.Result = static_cast<LRESULT>(m.WParam * 2); };
    HWND h = Application().AllocateHandle(&a);
    EXPECT_EQ(SendMessage(h, WM_USER + 1, 21, 0), 42);
    TMsg peeked;
    PostMessage(h, WM_USER + 5, 1, 2);
    EXPECT_FALSE(Application().PeekMessage(peeked, h, WM_USER + 6, WM_USER + 9, true));
    EXPECT_TRUE(Application().PeekMessage(peeked, h, WM_USER, WM_USER + 9, true));
    EXPECT_EQ(peeked.LParam, 2);
    EXPECT_EQ(Application().QueuedCount(), 0u);
    Application().DeallocateHandle(h);
}

TEST_F(ApplicationTest, ErrorsFromHandlersAreShownAndTheLoopGoesOn) {
    TRecorder a;
    a.OnMessage = [](TMessage& m) {
        if (m.Msg == WM_USER) throw EDatabaseError("disk I/O error");
        if (m.Msg == WM_USER + 1) throw EAbort("silent");
    };
    HWND h = Application().AllocateHandle(&a);
    PostMessage(h, WM_USER, 0, 0);
    PostMessage(h, WM_USER + 1, 0, 0);
    PostMessage(h, WM_USER + 2, 0, 0);
    Application().ProcessMessages();
    EXPECT_EQ(a.Seen.size(), 3u);
    EXPECT_EQ(Application().ShownErrors, (std::vector<std::string>{"disk I/O error"}));
    Application().DeallocateHandle(h);
}

TEST(Platform, DeterministicServicesForTests) {
    TTestPlatform test;
    SetPlatform(&test);
    test.SetTickCount(5000);
    test.Advance(2001);
    EXPECT_EQ(GetTickCount(), 7001u);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
    test.SetSystemMetric(SM_CXVSCROLL, 20);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 20);
    MessageBeep(0);
    EXPECT_EQ(test.Beeps.size(), 1u);
    EXPECT_EQ(Platform().ScreenHeight(), 768);
    SetPlatform(nullptr);
    EXPECT_EQ(&Platform() == &test, false);
}
