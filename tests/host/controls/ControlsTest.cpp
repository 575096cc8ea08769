// The control base through the user driver: geometry, windows and messages, mouse and keys,
// repainting, focus, popup menus, drag and drop, published properties.
#include "orvel/host/controls/Controls.h"
#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/core/Exceptions.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace orvel {
namespace {

std::string Pt(int x, int y) {
    return std::to_string(x) + "," + std::to_string(y);
}

// A windowed control that writes what reaches it into a log shared with the test.
class TProbe : public TCustomControl {
public:
    TProbe(TComponent* owner, std::vector<std::string>* log = nullptr)
        : TCustomControl(owner), Log(log) {}
    std::vector<std::string>* Log;
    int Paints = 0;

    void Note(const std::string& s) {
        if (Log) Log->push_back(Name() + " " + s);
    }
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_CREATE) Note("create");
        if (m.Msg == WM_DESTROY) Note("destroy");
        if (m.Msg >= WM_USER && m.Msg < CM_BASE) Note("user");
        TCustomControl::WndProc(m);
    }

protected:
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        Note(std::string(s.Contains(ssDouble) ? "dbldown " : "down ") + std::to_string(b) + " " +
             Pt(x, y));
        TCustomControl::MouseDown(b, s, x, y);
    }
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
        Note("up " + std::to_string(b) + " " + Pt(x, y));
        TCustomControl::MouseUp(b, s, x, y);
    }
    void Click() override {
        Note("click");
        TCustomControl::Click();
    }
    void DblClick() override {
        Note("dblclick");
        TCustomControl::DblClick();
    }
    void KeyDown(uint16_t& key, TShiftState s) override {
        Note("keydown " + std::to_string(key));
        TCustomControl::KeyDown(key, s);
    }
    void KeyPress(char& key) override {
        Note(std::string("keypress ") + key);
        TCustomControl::KeyPress(key);
    }
    void DoEnter() override {
        Note("enter");
        TCustomControl::DoEnter();
    }
    void DoExit() override {
        Note("exit");
        TCustomControl::DoExit();
    }
    void DragCanceled() override {
        Note("canceled");
        TCustomControl::DragCanceled();
    }
    void Paint() override { ++Paints; }
};

class TGraphicProbe : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    std::vector<std::string> Log;

protected:
    void MouseDown(TMouseButton, TShiftState, int x, int y) override {
        Log.push_back("down " + Pt(x, y));
    }
    void Click() override { Log.push_back("click"); }
};

using ControlsTest = TUiTest;

TEST_F(ControlsTest, ClientAreasAndScreenPointsFollowBordersAndParents) {
    TTestForm f;
    auto& outer = f.Place<TProbe>(10, 20, 200, 100);
    outer.SetBorderStyle(bsSingle);
    EXPECT_EQ(outer.BorderWidth(), 2);
    EXPECT_EQ(outer.ClientRect(), Rect(0, 0, 196, 96));
    outer.SetCtl3D(false);
    EXPECT_EQ(outer.ClientRect(), Rect(0, 0, 198, 98));
    outer.SetCtl3D(true);

    auto* inner = new TProbe(&f.Form());
    inner->SetParent(&outer);
    inner->SetBounds(5, 6, 50, 40);
    EXPECT_EQ(inner->ClientToScreen({1, 1}), Point(18, 29));
    EXPECT_EQ(inner->ScreenToClient({18, 29}), Point(1, 1));
    EXPECT_EQ(FindDragTarget({18, 29}, false), inner);
    EXPECT_EQ(FindDragTarget({11, 21}, false), &outer); // on the frame
    EXPECT_EQ(FindDragTarget({600, 400}, false), &f.Form());

    inner->SetBounds(0, 0, -5, 10);
    EXPECT_EQ(inner->Width(), 0);
    EXPECT_THROW(outer.SetParent(inner), EInvalidOperation);
}

TEST_F(ControlsTest, WindowsAreMadeParentFirstAndTheirMessagesDieWithThem) {
    std::vector<std::string> log;
    auto* parent = new TProbe(nullptr, &log);
    parent->SetName("P");
    auto* child = new TProbe(nullptr, &log);
    child->SetName("C");
    child->SetParent(parent);
    EXPECT_FALSE(parent->HandleAllocated());

    child->HandleNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"P create", "C create"}));
    HWND old = child->Handle();
    EXPECT_TRUE(PostMessage(old, WM_USER + 1, 0, 0));

    log.clear();
    parent->DestroyHandle();
    EXPECT_EQ(log, (std::vector<std::string>{"C destroy", "P destroy"}));
    EXPECT_FALSE(child->HandleAllocated());
    EXPECT_FALSE(PostMessage(old, WM_USER + 2, 0, 0));
    log.clear();
    run_messages(); // the queued message of the destroyed window is dropped
    EXPECT_TRUE(log.empty());

    child->HandleNeeded();
    EXPECT_NE(child->Handle(), old); // handles are never reused
    child->Free();
    parent->Free();
}

TEST_F(ControlsTest, MouseAndKeyMessagesReachTheHandlersInTheHostOrder) {
    std::vector<std::string> log; // outlives the form, whose controls write to it
    TTestForm f;
    auto* p = new TProbe(&f.Form(), &log);
    p->SetName("P");
    p->SetParent(&f.Form());
    p->SetBounds(10, 10, 100, 100);
    EXPECT_EQ(log, (std::vector<std::string>{"P create"})); // placed on a shown form
    log.clear();

    click(*p, 5, 6);
    EXPECT_EQ(log, (std::vector<std::string>{"P enter", "P down 0 5,6", "P click", "P up 0 5,6"}));

    log.clear();
    double_click(*p, 7, 8);
    EXPECT_EQ(log, (std::vector<std::string>{"P down 0 7,8", "P click", "P up 0 7,8", "P dblclick",
                                             "P dbldown 0 7,8", "P up 0 7,8"}));

    log.clear();
    mouse_down(*p, 5, 5);
    mouse_up(*p, 150, 5); // released outside: no click
    EXPECT_EQ(log, (std::vector<std::string>{"P down 0 5,5", "P up 0 150,5"}));

    log.clear();
    press_key(*p, 'A');
    EXPECT_EQ(log, (std::vector<std::string>{"P keydown 65", "P keypress a"}));

    // A key handler that takes the key leaves nothing for the control's own reaction.
    log.clear();
    p->OnKeyDown = [](TObject*, uint16_t& key, TShiftState) { key = 0; };
    press_key(*p, VK_DOWN);
    EXPECT_EQ(log, (std::vector<std::string>{"P keydown 40"}));

    log.clear();
    p->SetEnabled(false);
    click(*p, 5, 6);
    press_key(*p, 'B');
    EXPECT_TRUE(log.empty());
}

TEST_F(ControlsTest, ControlsWithoutWindowGetTheirMouseThroughTheParent) {
    TTestForm f;
    auto& label = f.Place<TGraphicProbe>(30, 40, 50, 20);
    click(label, 3, 4);
    EXPECT_EQ(label.Log, (std::vector<std::string>{"down 3,4", "click"}));
}

TEST_F(ControlsTest, InvalidateMarksAndUpdatePaintsOnceWhileShown) {
    TTestForm f;
    auto& p = f.Place<TProbe>(0, 0, 50, 50);
    p.Update();
    int invalidated = p.InvalidateCount();
    int painted = p.PaintCount();
    int paints = p.Paints;
    p.Invalidate();
    p.Invalidate();
    EXPECT_EQ(p.InvalidateCount(), invalidated + 2);
    EXPECT_EQ(p.PaintCount(), painted);
    p.Update();
    p.Update();
    EXPECT_EQ(p.PaintCount(), painted + 1);
    EXPECT_EQ(p.Paints, paints + 1);
    EXPECT_EQ(p.Canvas()->Bitmap()->Width(), 50);

    p.Hide();
    p.Repaint();
    EXPECT_EQ(p.PaintCount(), painted + 1);
    p.Perform(WM_SETREDRAW, 0, 0);
    p.Show();
    p.Update();
    EXPECT_EQ(p.PaintCount(), painted + 1);
    p.Perform(WM_SETREDRAW, 1, 0);
    p.Update();
    EXPECT_EQ(p.PaintCount(), painted + 2);
}

TEST_F(ControlsTest, FocusMovesWithExitBeforeEnterAndAFailedExitKeepsIt) {
    std::vector<std::string> log; // outlives the form, whose controls write to it
    TTestForm f;
    auto* a = new TProbe(&f.Form(), &log);
    a->SetName("A");
    auto* b = new TProbe(&f.Form(), &log);
    b->SetName("B");
    for (TProbe* p : {a, b}) {
        p->SetParent(&f.Form());
        p->SetTabStop(true);
    }
    a->SetBounds(0, 0, 50, 50);
    b->SetBounds(100, 0, 50, 50);
    log.clear();

    a->SetFocus();
    b->SetFocus();
    EXPECT_EQ(log, (std::vector<std::string>{"A enter", "A exit", "B enter"}));
    EXPECT_TRUE(b->Focused());
    EXPECT_EQ(f.Form().ActiveControl(), b);
    EXPECT_EQ(Screen().ActiveControl(), b);

    log.clear();
    press_key(*b, VK_TAB);
    EXPECT_TRUE(a->Focused());
    press_key(VK_TAB, TShiftState{ssShift});
    EXPECT_TRUE(b->Focused());

    // An exit handler that fails keeps the focus where it is; the user sees the error.
    b->OnExit = [](TObject*) { throw EDatabaseError("Field 'NAME' must have a value"); };
    log.clear();
    click(*a, 5, 5);
    EXPECT_TRUE(b->Focused());
    EXPECT_EQ(Application().ShownErrors,
              (std::vector<std::string>{"Field 'NAME' must have a value"}));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "B exit");
    EXPECT_EQ(std::count(log.begin(), log.end(), "A enter"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "A down 0 5,5"), 0);

    b->OnExit = nullptr;
    b->SetEnabled(false);
    EXPECT_FALSE(b->CanFocus());
    EXPECT_THROW(b->SetFocus(), EInvalidOperation);
}

TEST_F(ControlsTest, AFormFocusesItsFirstTabStopWhenShownAndForgetsRemovedControls) {
    auto* form = new TForm(nullptr);
    auto* later = new TProbe(form);
    auto* first = new TProbe(form);
    for (TProbe* p : {later, first}) {
        p->SetParent(form);
        p->SetTabStop(true);
    }
    later->SetTabOrder(1);
    first->SetTabOrder(0);
    form->Show();
    EXPECT_TRUE(first->Focused());
    EXPECT_EQ(form->TabList(), (std::vector<TWinControl*>{first, later}));

    first->Free();
    EXPECT_EQ(form->ActiveControl(), nullptr);
    EXPECT_EQ(FocusedControl(), nullptr);
    form->SetActiveControl(later);
    EXPECT_TRUE(later->Focused());
    EXPECT_THROW(form->SetActiveControl(form), EInvalidOperation);
    form->Free();
}

TEST_F(ControlsTest, ARightClickPopsUpTheMenuOfTheControlOrOfItsParent) {
    TTestForm f;
    auto& p = f.Place<TProbe>(20, 30, 100, 100);
    auto* menu = new TPopupMenu(&f.Form());
    int popups = 0;
    menu->OnPopup = [&](TObject*) { ++popups; };
    p.SetPopupMenu(menu);

    right_click(p, 5, 6);
    EXPECT_EQ(LastPopup().Menu, menu);
    EXPECT_EQ(LastPopup().Point, Point(25, 36));
    EXPECT_EQ(menu->PopupComponent(), &p);
    EXPECT_EQ(popups, 1);

    // Without a menu of its own the control shows its parent's.
    auto* formMenu = new TPopupMenu(&f.Form());
    f.Form().SetPopupMenu(formMenu);
    p.SetPopupMenu(nullptr);
    right_click(p, 1, 1);
    EXPECT_EQ(LastPopup().Menu, formMenu);

    ClearLastPopup();
    formMenu->SetAutoPopup(false);
    right_click(p, 1, 1);
    EXPECT_EQ(LastPopup().Menu, nullptr);

    // A destroyed menu leaves no reference behind.
    p.SetPopupMenu(menu);
    right_click(p, 2, 2);
    menu->Free();
    EXPECT_EQ(p.PopupMenu(), nullptr);
    EXPECT_EQ(LastPopup().Menu, nullptr);
}

class DragTest : public TUiTest {
protected:
    void SetUp() override {
        TUiTest::SetUp();
        form = std::make_unique<TTestForm>();
        source = new TProbe(&form->Form(), &log);
        source->SetName("S");
        source->SetParent(&form->Form());
        source->SetBounds(0, 0, 100, 100);
        source->SetDragMode(dmAutomatic);
        target = new TProbe(&form->Form(), &log);
        target->SetName("T");
        target->SetParent(&form->Form());
        target->SetBounds(200, 0, 100, 100);
        source->OnStartDrag = [this](TObject*, TDragObject*&) { log.push_back("S start"); };
        target->OnDragOver = [this](TObject*, TObject* src, int x, int y, TDragState state,
                                    bool& accept) {
            const char* names[] = {"enter", "leave", "move"};
            log.push_back(std::string("T over ") + names[state] + " " + Pt(x, y) +
                          (src == source ? " from S" : ""));
            accept = accepting;
        };
        target->OnDragDrop = [this](TObject*, TObject* src, int x, int y) {
            log.push_back("T drop " + Pt(x, y) + (src == source ? " from S" : ""));
        };
        source->OnEndDrag = [this](TObject*, TObject* t, int x, int y) {
            log.push_back(std::string("S end ") +
                          (t == target ? "T "
                           : t         ? "? "
                                       : "none ") +
                          Pt(x, y));
        };
        log.clear();
    }
    void TearDown() override {
        form.reset();
        TUiTest::TearDown();
    }

    // The log without the focus moves that the clicks cause.
    std::vector<std::string> DragLog() const {
        std::vector<std::string> out;
        for (const auto& s : log)
            if (s != "S enter" && s != "S exit" && s != "T enter" && s != "T exit")
                out.push_back(s);
        return out;
    }

    std::unique_ptr<TTestForm> form;
    TProbe* source = nullptr;
    TProbe* target = nullptr;
    std::vector<std::string> log;
    bool accepting = true;
};

TEST_F(DragTest, AnAcceptedDropReachesTheTargetThenEndsAtTheSource) {
    drag_to(*source, {10, 10}, *target, {20, 30});
    EXPECT_EQ(DragLog(),
              (std::vector<std::string>{"S down 0 10,10", "S start", "T over enter 20,30 from S",
                                        "T drop 20,30 from S", "S end T 20,30"}));
    EXPECT_FALSE(source->Dragging());
    EXPECT_EQ(DragControl(), nullptr);
}

TEST_F(DragTest, ARefusedDropIsCancelledAndEndsWithoutTarget) {
    accepting = false;
    drag_to(*source, {10, 10}, *target, {20, 30});
    EXPECT_EQ(DragLog(), (std::vector<std::string>{
                             "S down 0 10,10", "S start", "T over enter 20,30 from S",
                             "T over leave 20,30 from S", "S canceled", "S end none 220,30"}));
}

TEST_F(DragTest, EscapeCancelsTheDragAndTheNextOneWorks) {
    drag_and_cancel(*source, {10, 10}, *target, {20, 30});
    std::vector<std::string> cancelled = DragLog();
    ASSERT_GE(cancelled.size(), 6u);
    EXPECT_EQ(
        std::vector<std::string>(cancelled.begin(), cancelled.begin() + 6),
        (std::vector<std::string>{"S down 0 10,10", "S start", "T over enter 20,30 from S",
                                  "T over leave 20,30 from S", "S canceled", "S end none 220,30"}));
    EXPECT_EQ(DragControl(), nullptr);

    log.clear();
    drag_to(*source, {10, 10}, *target, {40, 50});
    std::vector<std::string> next = DragLog();
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next.back(), "S end T 40,50");
}

TEST_F(DragTest, AMoveWithinTheThresholdIsAClickAndManualModeDragsOnRequest) {
    click(*source, 10, 10);
    mouse_down(*source, 10, 10);
    mouse_move(*source, 12, 12); // within the threshold
    mouse_up(*source, 12, 12);
    EXPECT_EQ(std::count(log.begin(), log.end(), "S start"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "S click"), 2);

    log.clear();
    source->SetDragMode(dmManual);
    drag_to(*source, {10, 10}, *target, {20, 30});
    EXPECT_EQ(std::count(log.begin(), log.end(), "S start"), 0);
    source->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        source->BeginDrag(true);
    };
    log.clear();
    drag_to(*source, {10, 10}, *target, {20, 30});
    EXPECT_EQ(DragLog().back(), "S end T 20,30");
}

TEST_F(DragTest, AControlDestroyedDuringTheDragIsForgotten) {
    mouse_down(*source, 10, 10);
    mouse_move(*target, 20, 30);
    ASSERT_TRUE(source->Dragging());
    target->Free();
    mouse_move(*source, 50, 50);
    source->Free();
    EXPECT_EQ(DragControl(), nullptr);
    mouse_up(form->Form(), 5, 5);
}

TEST_F(ControlsTest, PublishedClassesShowTheHostPropertiesTheyList) {
    const TClassInfo& tree = TTreeView::StaticClassInfo();
    ASSERT_NE(tree.FindProperty("ShowButtons"), nullptr);
    EXPECT_EQ(*tree.FindProperty("ShowButtons")->Default, Variant(true));
    EXPECT_EQ(tree.FindProperty("BorderStyle")->EnumNames[1], "bsSingle");
    EXPECT_EQ(TCustomTreeView::StaticClassInfo().FindProperty("ShowButtons"), nullptr);
    EXPECT_NE(TListView::StaticClassInfo().FindProperty("ViewStyle"), nullptr);
    EXPECT_NE(TListView::StaticClassInfo().FindProperty("OnColumnClick"), nullptr);

    TTestForm f;
    TComponent* made = TTreeView::StaticClassInfo().Create(&f.Form());
    auto* view = dynamic_cast<TTreeView*>(made);
    ASSERT_NE(view, nullptr);
    SetPropValue(view, "ShowButtons", Variant(false));
    EXPECT_FALSE(view->ShowButtons());
    SetEnumProp(view, "DragMode", "dmAutomatic");
    EXPECT_EQ(view->DragMode(), dmAutomatic);
    auto* menu = new TPopupMenu(&f.Form());
    SetObjectProp(view, "PopupMenu", menu);
    EXPECT_EQ(view->PopupMenu(), menu);
    EXPECT_EQ(GetPropValue(view, "Left"), Variant(0));

    EXPECT_THROW((TClassBuilder<TTreeView>("X", nullptr)
                      .Republish(TCustomTreeView::HostProperties(), {"NoSuchProperty"})),
                 EPropertyError);
}

} // namespace
} // namespace orvel
