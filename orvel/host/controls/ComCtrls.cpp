// The in-place caption editor the tree and list views share.
#include "orvel/host/controls/ComCtrls.h"

namespace orvel {

void TInplaceEditor::Open(const std::string& text) {
    FLine.SetText(text, true);
    FActive = true;
}

void TInplaceEditor::Close() {
    FActive = false;
    FLine.SetText("", false);
}

void TInplaceEditor::SetText(const std::string& text) {
    FLine.SetText(text, false);
}

void TInplaceEditor::TypeChar(char c) {
    FLine.KeyPress(c);
}

void TInplaceEditor::Backspace() {
    FLine.Delete(false);
}

int TInplaceEditor::HandleMessage(const TMessage& Message) {
    if (Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN) {
        uint16_t key = LoWord(Message.WParam);
        if (key == VK_RETURN) return 1;
        if (key == VK_ESCAPE) return -1;
        if (Message.Msg == WM_KEYDOWN) FLine.KeyDown(key, KeyDataToShiftState(Message.LParam));
        return 0;
    }
    if (Message.Msg == WM_CHAR) FLine.KeyPress(static_cast<char>(Message.WParam & 0xFF));
    return 0;
}

} // namespace orvel
