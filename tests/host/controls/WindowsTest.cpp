// What the standard controls rely on in the control base: the messages of a focus move and of a
// mouse press, window creation parameters, the window order, window text messages, and drawing
// with a moved window origin.
#include "orvel/host/controls/StdCtrls.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

// A windowed control that writes the focus and cancel-mode messages it gets into a log.
class TFocusProbe : public TCustomControl {
public:
    TFocusProbe(TComponent* owner, std::vector<std::string>& log)
        : TCustomControl(owner), Log(log) {
        SetTabStop(true);
    }
    std::vector<std::string>& Log;

    void WndProc(TMessage& m) override {
        switch (m.Msg) {
        case WM_KILLFOCUS:
            Log.push_back(Name() + " killfocus");
            break;
        case WM_SETFOCUS:
            Log.push_back(Name() + " setfocus");
            break;
        case CM_ENTER:
            Log.push_back(Name() + " enter");
            break;
        case CM_EXIT:
            Log.push_back(Name() + " exit");
            break;
        case CM_CANCELMODE:
            Log.push_back(Name() + " cancelmode from " +
                          reinterpret_cast<TComponent*>(m.LParam)->Name());
            break;
        default:
            break;
        }
        TCustomControl::WndProc(m);
    }
};

TEST(FocusMessages, AMoveTellsBothWindowsAndAPressCancelsTheFocusedOnesModes) {
    reset_ui();
    TTestForm form;
    std::vector<std::string> log;
    auto* a = new TFocusProbe(&form.Form(), log);
    auto* b = new TFocusProbe(&form.Form(), log);
    a->SetName("A");
    b->SetName("B");
    for (auto* p : {a, b}) {
        p->SetParent(&form.Form());
        p->SetBounds(p == a ? 0 : 100, 0, 50, 50);
    }
    a->SetFocus();
    log.clear();
    click(*b, 5, 5);
    EXPECT_EQ(log, (std::vector<std::string>{"A cancelmode from B", "A exit", "A killfocus",
                                             "B setfocus", "B enter"}));
    EXPECT_EQ(GetFocus(), b->Handle());
}

TEST(WindowCreation, ParamsDescribeTheWindowAndRecreatingMakesANewOne) {
    reset_ui();
    TTestForm form;
    TListBox& list = form.Place<TListBox>(10, 10, 100, 100);
    list.SetMultiSelect(true);
    HWND old = list.Handle();
    list.RecreateWnd();
    HWND now = list.Handle();
    EXPECT_NE(now, old);
    EXPECT_FALSE(Application().IsWindow(old));
    const TCreateParams& params = list.WindowParams();
    EXPECT_TRUE(params.Style & WS_CHILD);
    EXPECT_TRUE(params.Style & LBS_EXTENDEDSEL);
    EXPECT_EQ(params.ExStyle, static_cast<uint32_t>(WS_EX_CLIENTEDGE));
    EXPECT_EQ(params.WndParent, form.Form().Handle());
    EXPECT_EQ(params.WinClassName, "TListBox");
    list.Hide();
    EXPECT_FALSE(GetWindowLong(now, GWL_STYLE) & WS_VISIBLE);
}

TEST(WindowText, SetAndGetTextMessagesStayInsideTheBuffer) {
    reset_ui();
    TTestForm form;
    TEdit& edit = form.Place<TEdit>(10, 10, 100, 21);
    SendMessage(edit.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abcdef"));
    EXPECT_EQ(edit.Text(), "abcdef");
    EXPECT_EQ(SendMessage(edit.Handle(), WM_GETTEXTLENGTH, 0, 0), 6);
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(
        SendMessage(edit.Handle(), WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::string(buffer), "abc");
    SendMessage(edit.Handle(), WM_SETTEXT, 0, 0);
    EXPECT_EQ(edit.Text(), "");
}

TEST(WindowOrigin, DrawingAndClippingFollowTheOrigin) {
    TBitmap bitmap(20, 20);
    TCanvas* canvas = bitmap.Canvas();
    HDC dc = canvas->Handle();
    SetWindowOrgEx(dc, -5, -5, nullptr); // logical (0, 0) lands on pixel (5, 5)
    IntersectClipRect(dc, 0, 0, 4, 4);
    canvas->Brush()->SetColor(clRed);
    canvas->FillRect({0, 0, 10, 10});
    EXPECT_EQ(bitmap.Pixel(5, 5), clRed);
    EXPECT_EQ(bitmap.Pixel(8, 8), clRed);
    EXPECT_EQ(bitmap.Pixel(9, 9), clBlack); // clipped
    EXPECT_EQ(bitmap.Pixel(4, 4), clBlack);
    EXPECT_EQ(canvas->Pixel(0, 0), clRed); // read back in logical coordinates
    EXPECT_EQ(canvas->ClipRect(), (TRect{0, 0, 4, 4}));
    TPoint previous;
    SetWindowOrgEx(dc, 0, 0, &previous);
    EXPECT_EQ(previous, (TPoint{-5, -5}));
    EXPECT_EQ(canvas->ClipRect(), (TRect{5, 5, 9, 9}));
}

TEST(WindowOrder, ShowingWithSetWindowPosPutsAPopupOnTop) {
    reset_ui();
    TTestForm first;
    TTestForm second;
    TEdit& edit = first.Place<TEdit>(10, 10, 100, 21);
    auto* popup = new TListBox(&edit);
    popup->SetParent(&edit);
    SetParent(popup->Handle(), 0);
    SetWindowPos(popup->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_EQ(TopLevelWindows().back(), popup);
    EXPECT_EQ(GetWindow(popup->Handle(), GW_OWNER), edit.Handle());
    // Back inside its parent window it is a child again.
    EXPECT_EQ(SetParent(popup->Handle(), edit.Handle()), 0u);
    EXPECT_FALSE(popup->IsDetachedWindow());
    EXPECT_NE(TopLevelWindows().back(), popup);
}

} // namespace
} // namespace orvel
