// Platform events delivered to a plain form as host messages, and the system clipboard behind
// the editors' Ctrl-C, Ctrl-X and Ctrl-V.
#include "orvel/host/platform/FormInput.h"

#include "orvel/host/controls/StdCtrls.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

namespace orvel::platform {
namespace {

// A platform that only holds a clipboard, standing for the system's.
class TClipboardOnly : public TPlatform {
public:
    std::unique_ptr<TPlatformWindow> CreateWindow(const std::string&, int, int, int) override {
        return nullptr;
    }
    bool WaitEvent(TPlatformEvent&, int) override { return false; }
    std::string ClipboardText() override { return Text; }
    void SetClipboardText(const std::string& text) override { Text = text; }
    int StartTimer(int) override { return 0; }
    void StopTimer(int) override {}
    int DisplayScale() const override { return 1; }
    std::string Text;
};

TPlatformEvent MouseAt(TPlatformEventKind kind, int x, int y, bool doubleClick = false) {
    TPlatformEvent e;
    e.Kind = kind;
    e.X = x;
    e.Y = y;
    e.DoubleClick = doubleClick;
    return e;
}

TPlatformEvent KeyDown(uint16_t key, TShiftState shift = {}) {
    TPlatformEvent e;
    e.Kind = TPlatformEventKind::KeyDown;
    e.Key = key;
    e.Shift = shift;
    return e;
}

TPlatformEvent Typed(const std::string& text) {
    TPlatformEvent e;
    e.Kind = TPlatformEventKind::Text;
    e.Text = text;
    return e;
}

class FormInputTest : public TUiTest {
protected:
    void TearDown() override {
        UseSystemClipboard(nullptr);
        TUiTest::TearDown();
    }
    TTestForm main{400, 300};
    TEdit& first = main.Place<TEdit>(10, 10, 150, 21);
    TEdit& second = main.Place<TEdit>(10, 50, 150, 21);
    TFormInput input{main.Form()};
};

TEST_F(FormInputTest, AClickFocusesTheControlUnderTheMouseAndTypingGoesThere) {
    first.SetFocus();
    input.Deliver(MouseAt(TPlatformEventKind::MouseDown, 20, 60));
    input.Deliver(MouseAt(TPlatformEventKind::MouseUp, 20, 60));
    EXPECT_EQ(FocusedControl(), &second);
    input.Deliver(Typed("né"));
    input.Deliver(KeyDown(VK_BACK));
    input.Deliver(Typed("e"));
    EXPECT_EQ(second.Text(), "ne");
    EXPECT_EQ(first.Text(), "");
}

TEST_F(FormInputTest, KeysWithCtrlReachTheEditorThroughTheSystemClipboard) {
    TClipboardOnly system;
    UseSystemClipboard(&system);
    first.SetFocus();
    input.Deliver(Typed("copy me"));
    input.Deliver(KeyDown('A', TShiftState{ssCtrl}));
    input.Deliver(KeyDown('X', TShiftState{ssCtrl}));
    EXPECT_EQ(system.Text, "copy me");
    EXPECT_EQ(first.Text(), "");
    second.SetFocus();
    system.Text = "from elsewhere";
    input.Deliver(KeyDown('V', TShiftState{ssCtrl}));
    EXPECT_EQ(second.Text(), "from elsewhere");
    // Back on the application's own clipboard, the system's is left alone.
    UseSystemClipboard(nullptr);
    second.SelectAll();
    input.Deliver(KeyDown('C', TShiftState{ssCtrl}));
    EXPECT_EQ(system.Text, "from elsewhere");
    EXPECT_EQ(ClipboardText(), "from elsewhere");
}

TEST_F(FormInputTest, ResizingTheWindowResizesTheFormAndClosingAsksToClose) {
    TPlatformEvent resize;
    resize.Kind = TPlatformEventKind::Resize;
    resize.Width = 640;
    resize.Height = 200;
    EXPECT_FALSE(input.Deliver(resize));
    EXPECT_EQ(main.Form().Width(), 640);
    EXPECT_EQ(main.Form().Height(), 200);
    TPlatformEvent quit;
    quit.Kind = TPlatformEventKind::Quit;
    EXPECT_TRUE(input.Deliver(quit));
}

TEST(LineEditorClipboard, CopyCutAndPasteKeepOneLineAndWholeCharacters) {
    SetClipboardText("");
    TLineEditor editor;
    editor.SetText("Grüße aus Köln", false);
    editor.MoveCaret(0, false);
    editor.MoveCaret(5, true);
    EXPECT_TRUE(editor.KeyPress(3)); // Ctrl+C
    EXPECT_EQ(ClipboardText(), "Grüße");
    EXPECT_EQ(editor.Text(), "Grüße aus Köln");
    EXPECT_TRUE(editor.KeyPress(24)); // Ctrl+X
    EXPECT_EQ(editor.Text(), " aus Köln");
    EXPECT_EQ(editor.Caret(), 0);
    // A paste of several lines takes the first: the editor holds one line.
    SetClipboardText("Bonn\nBerlin");
    EXPECT_TRUE(editor.KeyPress(22)); // Ctrl+V
    EXPECT_EQ(editor.Text(), "Bonn aus Köln");
    EXPECT_EQ(editor.Caret(), 4);
    // Copying nothing leaves the clipboard as it was.
    EXPECT_TRUE(editor.KeyPress(3));
    EXPECT_EQ(ClipboardText(), "Bonn\nBerlin");
    SetClipboardText("");
}

} // namespace
} // namespace orvel::platform
