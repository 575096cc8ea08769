// The in-place caption editor the tree and list views share.
#include "orvel/host/controls/ComCtrls.h"

namespace orvel {

void TInplaceEditor::Open(const std::string& text) {
    FText = text;
    FActive = true;
    FAllSelected = true;
}

void TInplaceEditor::Close() {
    FActive = false;
    FAllSelected = false;
    FText.clear();
}

void TInplaceEditor::SetText(const std::string& text) {
    FText = text;
    FAllSelected = false;
}

void TInplaceEditor::TypeChar(char c) {
    if (FAllSelected) FText.clear();
    FAllSelected = false;
    FText += c;
}

void TInplaceEditor::Backspace() {
    if (FAllSelected) {
        FText.clear();
        FAllSelected = false;
        return;
    }
    // Drop continuation bytes, then the lead byte of the last UTF-8 sequence.
    while (!FText.empty() && (static_cast<unsigned char>(FText.back()) & 0xC0) == 0x80)
        FText.pop_back();
    if (!FText.empty()) FText.pop_back();
}

int TInplaceEditor::HandleMessage(const TMessage& Message) {
    if (Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN) {
        uint16_t key = LoWord(Message.WParam);
        if (key == VK_RETURN) return 1;
        if (key == VK_ESCAPE) return -1;
        return 0;
    }
    if (Message.Msg == WM_CHAR) {
        auto c = static_cast<unsigned char>(Message.WParam & 0xFF);
        if (c == VK_BACK)
            Backspace();
        else if (c >= 0x20 && c != 0x7F)
            TypeChar(static_cast<char>(c));
    }
    return 0;
}

} // namespace orvel
