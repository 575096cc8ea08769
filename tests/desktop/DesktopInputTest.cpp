// The desktop's input: platform events as the explorer's input, the desktop's options, the
// frame's damaged rectangle, and the explorer driven by the mouse in pixels.
#include "tests/desktop/DesktopSupport.h"

#include "apps/desktop/DesktopFrame.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Exceptions.h"

#include <memory>

namespace orvel::desktop::test {
namespace {

using explorer::TInputEvent;
using explorer::TInputKind;
using explorer::TMouseAction;
using platform::TPlatformEvent;
using platform::TPlatformEventKind;

TPlatformEvent Event(TPlatformEventKind kind) {
    TPlatformEvent e;
    e.Kind = kind;
    return e;
}

TEST(DesktopInput, KeysAndTextReachTheExplorerOnceAndModifiersAloneDoNot) {
    TPlatformEvent key = Event(TPlatformEventKind::KeyDown);
    key.Key = VK_F1 + 1;
    key.Shift = TShiftState{ssShift, ssCtrl};
    TInputEvent out;
    ASSERT_TRUE(ToInputEvent(key, out));
    EXPECT_EQ(out.Kind, TInputKind::Key);
    EXPECT_EQ(out.Key, VK_F2);
    EXPECT_TRUE(out.Shift);
    EXPECT_TRUE(out.Ctrl);
    EXPECT_FALSE(out.Alt);
    key.Key = VK_SHIFT;
    EXPECT_FALSE(ToInputEvent(key, out));
    EXPECT_FALSE(ToInputEvent(Event(TPlatformEventKind::KeyUp), out));
    EXPECT_FALSE(ToInputEvent(Event(TPlatformEventKind::Timer), out));

    TPlatformEvent text = Event(TPlatformEventKind::Text);
    text.Text = "ß";
    ASSERT_TRUE(ToInputEvent(text, out));
    EXPECT_EQ(out.Kind, TInputKind::Char);
    EXPECT_EQ(out.Text, "ß");
}

TEST(DesktopInput, TheMouseComesInPixelsAsOnAnyDesktop) {
    TPlatformEvent down = Event(TPlatformEventKind::MouseDown);
    down.X = 123;
    down.Y = 45;
    TInputEvent out;
    ASSERT_TRUE(ToInputEvent(down, out));
    EXPECT_EQ(out.Action, TMouseAction::Press);
    EXPECT_TRUE(out.Pixels);
    EXPECT_EQ(out.X, 123);
    EXPECT_EQ(out.Y, 45);
    down.DoubleClick = true;
    ASSERT_TRUE(ToInputEvent(down, out));
    EXPECT_EQ(out.Action, TMouseAction::DoublePress);
    down.Button = mbRight;
    ASSERT_TRUE(ToInputEvent(down, out));
    EXPECT_EQ(out.Action, TMouseAction::RightClick);
    down.Button = mbMiddle;
    EXPECT_FALSE(ToInputEvent(down, out));

    TPlatformEvent up = Event(TPlatformEventKind::MouseUp);
    ASSERT_TRUE(ToInputEvent(up, out));
    EXPECT_EQ(out.Action, TMouseAction::Release);
    up.Button = mbRight; // the right button's work is done on its press
    EXPECT_FALSE(ToInputEvent(up, out));

    // Moves matter only with the button held (dragging).
    TPlatformEvent move = Event(TPlatformEventKind::MouseMove);
    EXPECT_FALSE(ToInputEvent(move, out));
    move.Shift.Include(ssLeft);
    ASSERT_TRUE(ToInputEvent(move, out));
    EXPECT_EQ(out.Action, TMouseAction::Move);

    TPlatformEvent wheel = Event(TPlatformEventKind::MouseWheel);
    wheel.Wheel = -2;
    ASSERT_TRUE(ToInputEvent(wheel, out));
    EXPECT_EQ(out.Action, TMouseAction::Wheel);
    EXPECT_EQ(out.Wheel, -2);
}

TEST(DesktopInput, AResizedWindowIsTheScreenInWholeCellsAndExposingRedraws) {
    TPlatformEvent resize = Event(TPlatformEventKind::Resize);
    resize.Width = 1001;
    resize.Height = 650;
    TInputEvent out;
    ASSERT_TRUE(ToInputEvent(resize, out));
    EXPECT_EQ(out.Kind, TInputKind::Resize);
    EXPECT_EQ(out.X, 1001 / explorer::CellWidth);
    EXPECT_EQ(out.Y, 650 / explorer::CellHeight);
    resize.Width = 3;
    resize.Height = 0;
    ASSERT_TRUE(ToInputEvent(resize, out));
    EXPECT_EQ(out.X, 1);
    EXPECT_EQ(out.Y, 1);
    ASSERT_TRUE(ToInputEvent(Event(TPlatformEventKind::Expose), out));
    EXPECT_EQ(out.Kind, TInputKind::Redraw);
}

TEST(DesktopInput, KeyScriptsTurnTheWheelInCells) {
    std::vector<TInputEvent> events = explorer::ParseKeyScript("<WheelDown:3,4><WheelUp:5,6>");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Action, TMouseAction::Wheel);
    EXPECT_EQ(events[0].Wheel, -1);
    EXPECT_EQ(events[0].X, 3);
    EXPECT_FALSE(events[0].Pixels);
    EXPECT_EQ(events[1].Wheel, 1);
    EXPECT_THROW(explorer::ParseKeyScript("<WheelUp:5>"), EConvertError);
}

TEST(DesktopOptions, TheExplorersOptionsAndTheDesktopsOwn) {
    TDesktopOptions plain = ParseDesktopOptions({});
    EXPECT_EQ(plain.Explorer.Columns, DefaultColumns);
    EXPECT_EQ(plain.Explorer.Rows, DefaultRows);
    EXPECT_EQ(plain.Scale, 0);
    TDesktopOptions given = ParseDesktopOptions(
        {"--scale", "2", "db.sqlite", "--size", "80x25", "--keys", "q", "--offscreen", "a.png"});
    EXPECT_EQ(given.Scale, 2);
    EXPECT_EQ(given.Explorer.Database, "db.sqlite");
    EXPECT_EQ(given.Explorer.Columns, 80);
    EXPECT_EQ(given.Explorer.Rows, 25);
    EXPECT_TRUE(given.Explorer.Scripted);
    EXPECT_EQ(given.Offscreen, "a.png");
    EXPECT_THROW(ParseDesktopOptions({"--scale", "0"}), EConvertError);
    EXPECT_THROW(ParseDesktopOptions({"--scale", "2x"}), EConvertError);
    EXPECT_THROW(ParseDesktopOptions({"--scale"}), EConvertError);
    // A picture is taken at the end of a script: without one there is no end to take it at.
    EXPECT_THROW(ParseDesktopOptions({"--screenshot", "a.png"}), EConvertError);
    EXPECT_THROW(ParseDesktopOptions({"--bogus"}), EConvertError);
}

TEST(DesktopFrame, OnlyWhatChangedIsDamaged) {
    explorer::TTextScreen screen(20, 5);
    TDesktopFrame frame;
    TBitmap picture;
    TRect first = frame.Compose(screen, picture, 0, 0);
    EXPECT_EQ(first, (TRect{0, 0, 20 * explorer::CellWidth, 5 * explorer::CellHeight}));
    EXPECT_TRUE(frame.Compose(screen, picture, 0, 0).IsEmpty());
    screen.Print(3, 2, "x", explorer::attr::Error);
    TRect cell = frame.Compose(screen, picture, 0, 0);
    EXPECT_FALSE(cell.IsEmpty());
    EXPECT_GE(cell.Left, 3 * explorer::CellWidth);
    EXPECT_GE(cell.Top, 2 * explorer::CellHeight);
    EXPECT_LE(cell.Bottom, 3 * explorer::CellHeight);
    EXPECT_EQ(picture.Pixel(3 * explorer::CellWidth, 2 * explorer::CellHeight),
              BackColor(explorer::ccRed));
    // A larger window: the margin is the face colour and the whole picture is new.
    TRect grown = frame.Compose(screen, picture, 200, 100);
    EXPECT_EQ(grown, (TRect{0, 0, 200, 100}));
    EXPECT_EQ(picture.Pixel(199, 99), picture.Pixel(170, 99));
}

TEST(DesktopMenus, AClickOnAPaintedItemChoosesTheItemTheExplorerHasInItsCells) {
    TMenuItem root(nullptr);
    for (const char* caption : {"&Report", "-", "&Reload"}) {
        auto* item = new TMenuItem(&root);
        item->SetCaption(caption);
        root.Add(item);
    }
    explorer::TExplorer::TMenuView view;
    view.Menu = &root;
    view.X = 10;
    view.Y = 5;
    view.Box = {10, 5, 14, 5}; // the cells the text screen gives the box
    TBitmap picture(800, 400);
    TCanvas& canvas = *picture.Canvas();
    std::vector<TRect> boxes = MenuBoxes(canvas, {view}, 800, 400);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Left, 10 * explorer::CellWidth);
    EXPECT_EQ(boxes[0].Top, 5 * explorer::CellHeight);

    auto clickAt = [&](TPoint p) {
        TInputEvent e;
        e.Kind = TInputKind::Mouse;
        e.Action = TMouseAction::Release;
        e.Pixels = true;
        e.X = p.X;
        e.Y = p.Y;
        EXPECT_TRUE(MenuMouseToCells(canvas, {view}, 800, 400, e));
        EXPECT_FALSE(e.Pixels);
        return TPoint{e.X, e.Y};
    };
    TRect reload = MenuBoxItemRect(canvas, root, 2);
    TPoint middle{boxes[0].Left + (reload.Left + reload.Right) / 2,
                  boxes[0].Top + (reload.Top + reload.Bottom) / 2};
    EXPECT_EQ(clickAt(middle), (TPoint{11, 5 + 1 + 2}));
    // The separator is no item: the box's frame, where a click chooses nothing.
    TRect separator = MenuBoxItemRect(canvas, root, 1);
    EXPECT_EQ(clickAt({middle.X, boxes[0].Top + (separator.Top + separator.Bottom) / 2}),
              (TPoint{10, 5}));
    // Beside the box: outside every menu, so the menus close.
    EXPECT_EQ(clickAt({boxes[0].Right + 5, middle.Y}), (TPoint{-1, -1}));
    // A box near the window's edge stays inside the window.
    view.X = 99;
    EXPECT_LE(MenuBoxes(canvas, {view}, 800, 400)[0].Right, 800);
}

TEST_F(DesktopTest, TheWheelScrollsTheTreeAndADoubleClickInPixelsOpensANode) {
    // Head Office and its Finance open: the tree is longer than its rows.
    TDesktopOptions options = Options("<Right><Down><Right><Down><Right><Home>", "100x20");
    TOffscreenExplorer app(options.Explorer);
    app.RunScript(options.Explorer.Keys);
    auto pixels = [](TMouseAction action, int column, int row) {
        TInputEvent e;
        e.Kind = TInputKind::Mouse;
        e.Action = action;
        e.Pixels = true;
        e.X = column * explorer::CellWidth + 3;
        e.Y = row * explorer::CellHeight + 5;
        return e;
    };
    auto run = [&](const TInputEvent& e) {
        app.Explorer().Handle(e);
        app.Explorer().Render();
    };
    const int operations = 8; // the screen row of Head Office's Operations
    ASSERT_NE(app.Screen().RowText(operations).find("▸ ● ◆ Operations"), std::string::npos)
        << app.Screen().ToText();
    run(pixels(TMouseAction::Press, 14, operations));
    run(pixels(TMouseAction::Release, 14, operations));
    run(pixels(TMouseAction::DoublePress, 14, operations));
    run(pixels(TMouseAction::Release, 14, operations));
    EXPECT_NE(app.Screen().RowText(operations).find("▾ ● ◆ Operations"), std::string::npos)
        << app.Screen().ToText();
    // The wheel scrolls three rows a notch and leaves the selection where it is.
    std::string top = app.Screen().RowText(2);
    TInputEvent wheel = pixels(TMouseAction::Wheel, 10, 4);
    wheel.Wheel = -1;
    run(wheel);
    EXPECT_NE(app.Screen().RowText(operations - 3).find("Operations"), std::string::npos)
        << app.Screen().ToText();
    wheel.Wheel = 1;
    run(wheel);
    EXPECT_EQ(app.Screen().RowText(2), top) << app.Screen().ToText();
}

TEST_F(DesktopTest, TheInPlaceEditorCutsAndPastesThroughTheClipboard) {
    SetClipboardText("");
    // Cut the whole name, paste it twice: the clipboard keeps what was cut.
    TDesktopOptions options = Options("<F2><C-a><C-x><C-v> <C-v><Enter>");
    TOffscreenExplorer app(options.Explorer);
    app.RunScript(options.Explorer.Keys);
    EXPECT_EQ(ClipboardText(), "Orvel Agro Ltd");
    EXPECT_NE(app.Screen().ToText().find("Orvel Agro Ltd Orvel Agro Ltd"), std::string::npos)
        << app.Screen().ToText();
    SetClipboardText("");
}

TEST_F(DesktopTest, DraggingAColumnDividerOfTheReportResizesTheColumn) {
    // F6: the inventory in report style on the right.
    TDesktopOptions options = Options("<F6>");
    TOffscreenExplorer app(options.Explorer);
    app.RunScript(options.Explorer.Keys);
    TCustomListView* report = nullptr;
    TForm* form = app.Explorer().Form();
    for (int i = 0; i < form->ControlCount(); ++i)
        if (auto* list = dynamic_cast<TCustomListView*>(form->Controls(i)); list && list->Visible())
            report = list;
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(report->ViewStyle(), vsReport);
    const int before = report->Columns()->Items(0)->Width();
    TPoint divider = report->ClientToScreen({before, TCustomListView::HeaderHeight / 2});
    auto mouse = [&](TMouseAction action, TPoint at) {
        TInputEvent e;
        e.Kind = TInputKind::Mouse;
        e.Action = action;
        e.Pixels = true;
        e.X = at.X;
        e.Y = at.Y;
        app.Explorer().Handle(e);
    };
    mouse(TMouseAction::Press, divider);
    mouse(TMouseAction::Move, {divider.X + 20, divider.Y});
    mouse(TMouseAction::Move, {divider.X + 40, divider.Y});
    mouse(TMouseAction::Release, {divider.X + 40, divider.Y});
    EXPECT_EQ(report->Columns()->Items(0)->Width(), before + 40);
}

} // namespace
} // namespace orvel::desktop::test
