// Edit boxes, memos, labels, push buttons, check boxes, group boxes, and the entries that list
// boxes and combo boxes share.
#include "orvel/host/controls/StdCtrls.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace orvel {

namespace {

std::string& Clipboard() {
    static std::string text;
    return text;
}

// The length of the UTF-8 sequence a lead byte opens (1 for a plain or stray byte).
std::size_t SequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// The byte offsets where the characters of text start, followed by the text's length. A
// malformed byte counts as one character, as the bitmap font draws it.
std::vector<std::size_t> CharStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    std::size_t i = 0;
    while (i < text.size()) {
        starts.push_back(i);
        std::size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
        std::size_t j = 1;
        while (j < n && i + j < text.size() &&
               (static_cast<unsigned char>(text[i + j]) & 0xC0) == 0x80)
            ++j;
        i += j == n ? n : 1;
    }
    starts.push_back(text.size());
    return starts;
}

int CharLength(const std::string& text) {
    return static_cast<int>(CharStarts(text).size()) - 1;
}

// The characters [from, to) of text.
std::string CharRange(const std::string& text, int from, int to) {
    std::vector<std::size_t> starts = CharStarts(text);
    int n = static_cast<int>(starts.size()) - 1;
    from = std::clamp(from, 0, n);
    to = std::clamp(to, from, n);
    return text.substr(starts[static_cast<std::size_t>(from)],
                       starts[static_cast<std::size_t>(to)] -
                           starts[static_cast<std::size_t>(from)]);
}

// The text laid out in lines (one line unless multiLine), with the character position each line
// starts at.
struct TTextLines {
    std::vector<std::string> Lines;
    std::vector<int> Starts;

    int LineOf(int position) const {
        int line = 0;
        for (std::size_t i = 0; i < Starts.size(); ++i)
            if (Starts[i] <= position) line = static_cast<int>(i);
        return line;
    }
    int LineLength(int line) const { return CharLength(Lines[static_cast<std::size_t>(line)]); }
};

TTextLines LayOut(const std::string& text, bool multiLine) {
    TTextLines out;
    if (!multiLine) {
        out.Lines.push_back(text);
        out.Starts.push_back(0);
        return out;
    }
    std::size_t from = 0;
    int start = 0;
    for (;;) {
        std::size_t end = text.find('\n', from);
        std::string line =
            text.substr(from, end == std::string::npos ? std::string::npos : end - from);
        out.Lines.push_back(line);
        out.Starts.push_back(start);
        if (end == std::string::npos) break;
        start += CharLength(line) + 1;
        from = end + 1;
    }
    return out;
}

// The state of a check box as BM_SETCHECK and BM_GETCHECK give it.
TCheckBoxState CheckStateOf(WPARAM value) {
    return value == 1 ? cbChecked : value == 2 ? cbGrayed : cbUnchecked;
}

} // namespace

namespace {

TClipboardHook& ClipboardHook() {
    static TClipboardHook hook;
    return hook;
}

} // namespace

void SetClipboardHook(TClipboardHook hook) {
    if (!hook.Get || !hook.Set) hook = {};
    ClipboardHook() = std::move(hook);
}

std::string ClipboardText() {
    if (ClipboardHook().Get) return ClipboardHook().Get();
    return Clipboard();
}

void SetClipboardText(const std::string& text) {
    if (ClipboardHook().Set) return ClipboardHook().Set(text);
    Clipboard() = text;
}

bool IsAccel(char Key, const std::string& Caption) {
    for (std::size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&') continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return UpperCase(std::string(1, Caption[i + 1])) == UpperCase(std::string(1, Key));
    }
    return false;
}

std::string StripAccelChars(const std::string& Caption) {
    std::string out;
    for (std::size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&' && i + 1 < Caption.size())
            ++i;
        else if (Caption[i] == '&')
            continue;
        out += Caption[i];
    }
    return out;
}

// --- TLineEditor ------------------------------------------------------------------------------

namespace {

bool IsWordByte(unsigned char c) {
    return c >= 0x80 || std::isalnum(c);
}

} // namespace

int WordBoundary(const std::string& Text, int Position, bool Forward) {
    std::vector<std::size_t> starts = CharStarts(Text);
    int n = static_cast<int>(starts.size()) - 1;
    int p = std::clamp(Position, 0, n);
    auto word = [&](int i) {
        return IsWordByte(static_cast<unsigned char>(Text[starts[static_cast<std::size_t>(i)]]));
    };
    if (Forward) {
        while (p < n && word(p))
            ++p;
        while (p < n && !word(p))
            ++p;
    } else {
        while (p > 0 && !word(p - 1))
            --p;
        while (p > 0 && word(p - 1))
            --p;
    }
    return p;
}

void TLineEditor::SetText(const std::string& text, bool selectAll) {
    FText = text;
    FPendingUtf8.clear();
    FCaret = Length();
    FAnchor = selectAll ? 0 : FCaret;
}

int TLineEditor::Length() const {
    return CharLength(FText);
}

void TLineEditor::MoveCaret(int position, bool extend) {
    FPendingUtf8.clear();
    FCaret = std::clamp(position, 0, Length());
    if (!extend) FAnchor = FCaret;
}

void TLineEditor::ReplaceSelection(const std::string& s) {
    int start = SelStart(), end = start + SelLength(), length = Length();
    FText = CharRange(FText, 0, start) + s + CharRange(FText, end, length);
    FCaret = FAnchor = start + CharLength(s);
}

void TLineEditor::Delete(bool forward) {
    FPendingUtf8.clear();
    if (SelLength() == 0) {
        if (forward ? FCaret >= Length() : FCaret <= 0) return;
        FAnchor = forward ? FCaret + 1 : FCaret - 1;
    }
    ReplaceSelection("");
}

bool TLineEditor::KeyDown(uint16_t key, TShiftState shift) {
    bool extend = shift.Contains(ssShift);
    bool byWord = shift.Contains(ssCtrl);
    bool selected = SelLength() > 0;
    switch (key) {
    case VK_LEFT:
        MoveCaret(byWord                ? WordBoundary(FText, FCaret, false)
                  : !extend && selected ? SelStart()
                                        : FCaret - 1,
                  extend);
        return true;
    case VK_RIGHT:
        MoveCaret(byWord                ? WordBoundary(FText, FCaret, true)
                  : !extend && selected ? SelStart() + SelLength()
                                        : FCaret + 1,
                  extend);
        return true;
    case VK_HOME:
        MoveCaret(0, extend);
        return true;
    case VK_END:
        MoveCaret(Length(), extend);
        return true;
    case VK_DELETE:
        Delete(true);
        return true;
    default:
        return false;
    }
}

bool TLineEditor::KeyPress(char c) {
    auto b = static_cast<unsigned char>(c);
    if (b == 8) { // Backspace
        Delete(false);
        return true;
    }
    if (b == 1) { // Ctrl+A
        MoveCaret(0, false);
        MoveCaret(Length(), true);
        return true;
    }
    if (b == 3 || b == 24) { // Ctrl+C, Ctrl+X
        if (SelLength() == 0) return true;
        SetClipboardText(CharRange(FText, SelStart(), SelStart() + SelLength()));
        if (b == 24) Delete(false);
        return true;
    }
    if (b == 22) { // Ctrl+V
        std::string text = ClipboardText();
        text = text.substr(0, text.find_first_of("\r\n"));
        FPendingUtf8.clear();
        ReplaceSelection(text);
        return true;
    }
    if (b < 0x20 || b == 0x7F) return false;
    if (b < 0x80) {
        FPendingUtf8.clear();
        ReplaceSelection(std::string(1, c));
    } else if (b >= 0xC0) {
        FPendingUtf8.assign(1, c);
    } else if (!FPendingUtf8.empty()) {
        FPendingUtf8 += c;
        if (FPendingUtf8.size() == SequenceLength(static_cast<unsigned char>(FPendingUtf8[0]))) {
            std::string character;
            character.swap(FPendingUtf8);
            ReplaceSelection(character);
        }
    }
    return true;
}

// --- TCustomEdit ------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TCustomControl(AOwner) {
    SetTabStop(true);
    SetBorderStyle(bsSingle);
    SetBounds(0, 0, 121, 21);
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::SetReadOnly(bool value) {
    if (HandleAllocated())
        SendMessage(Handle(), EM_SETREADONLY, value ? 1 : 0, 0);
    else
        FReadOnly = value;
}

void TCustomEdit::SetMaxLength(int value) {
    FMaxLength = std::max(0, value);
}

int TCustomEdit::TextLength() const {
    return CharLength(Text());
}

int TCustomEdit::SelStart() const {
    return std::min(FAnchor, FCaret);
}

void TCustomEdit::SetSelStart(int value) {
    MoveCaret(value, false);
}

int TCustomEdit::SelLength() const {
    return std::abs(FCaret - FAnchor);
}

void TCustomEdit::SetSelLength(int value) {
    int start = SelStart();
    FAnchor = start;
    FCaret = std::clamp(start + std::max(0, value), 0, TextLength());
    ScrollCaretIntoView();
    Invalidate();
}

std::string TCustomEdit::SelText() const {
    return CharRange(Text(), SelStart(), SelStart() + SelLength());
}

void TCustomEdit::SetSelText(const std::string& value) {
    int start = SelStart();
    std::string text = Text();
    std::string next =
        CharRange(text, 0, start) + value + CharRange(text, start + SelLength(), CharLength(text));
    SetTextByUser(next, start + CharLength(value));
}

void TCustomEdit::SelectAll() {
    FAnchor = 0;
    FCaret = TextLength();
    ScrollCaretIntoView();
    Invalidate();
}

void TCustomEdit::ClearSelection() {
    if (SelLength() > 0) UserReplaceSelection("");
}

void TCustomEdit::Clear() {
    SetText("");
}

void TCustomEdit::CopyToClipboard() {
    if (SelLength() > 0) SetClipboardText(SelText());
}

void TCustomEdit::CutToClipboard() {
    if (FReadOnly || SelLength() == 0) return;
    CopyToClipboard();
    UserReplaceSelection("");
}

void TCustomEdit::PasteFromClipboard() {
    std::string text = ClipboardText();
    if (!IsMultiLine()) {
        // One line takes the pasted text up to its first line break.
        std::size_t end = text.find_first_of("\r\n");
        if (end != std::string::npos) text.erase(end);
    }
    UserReplaceSelection(text);
}

TRect TCustomEdit::FormatRect() const {
    if (FHasFormatRect) return FFormatRect;
    TRect r = ClientRect();
    InflateRect(r, -1, -1);
    return r;
}

void TCustomEdit::MoveCaret(int Position, bool Extend) {
    FCaret = std::clamp(Position, 0, TextLength());
    if (!Extend) FAnchor = FCaret;
    ScrollCaretIntoView();
    Invalidate();
}

bool TCustomEdit::UserReplaceSelection(const std::string& s) {
    if (FReadOnly) return false;
    std::string text = Text();
    int start = SelStart(), length = SelLength();
    std::string insert = s;
    if (FMaxLength > 0) {
        int room = FMaxLength - (CharLength(text) - length);
        if (room <= 0 && !insert.empty()) {
            MessageBeep(0);
            return false;
        }
        if (CharLength(insert) > room) insert = CharRange(insert, 0, room);
    }
    if (insert.empty() && length == 0) return false;
    std::string next =
        CharRange(text, 0, start) + insert + CharRange(text, start + length, CharLength(text));
    SetTextByUser(next, start + CharLength(insert));
    return true;
}

bool TCustomEdit::UserDelete(bool Forward) {
    if (FReadOnly) return false;
    if (SelLength() > 0) return UserReplaceSelection("");
    int length = TextLength();
    if (Forward ? FCaret >= length : FCaret <= 0) return false;
    int from = Forward ? FCaret : FCaret - 1;
    std::string text = Text();
    SetTextByUser(CharRange(text, 0, from) + CharRange(text, from + 1, length), from);
    return true;
}

// A change the user makes: the caret is placed first, so OnChange sees it where it ends.
void TCustomEdit::SetTextByUser(const std::string& text, int caret) {
    FAnchor = FCaret = caret;
    FUserChange = true;
    try {
        TControl::SetText(text);
    } catch (...) {
        FUserChange = false;
        throw;
    }
    FUserChange = false;
    FCaret = FAnchor = std::clamp(caret, 0, TextLength());
    ScrollCaretIntoView();
    Invalidate();
}

void TCustomEdit::TextChanged() {
    if (FUserChange) {
        FModified = true;
    } else {
        FModified = false;
        FAnchor = FCaret = 0;
        FTextScroll = 0;
        FPendingUtf8.clear();
    }
    Invalidate();
    Change();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

// Text measures in the edit's font, the same the painting uses, so that a click and the caret
// land on the character drawn there with a proportional font too.
class TEditMeasure {
public:
    explicit TEditMeasure(TFont* font) { FCanvas.Font()->Assign(font); }
    int Width(const std::string& line, int columns) const {
        return FCanvas.TextWidth(CharRange(line, 0, columns));
    }
    int CharWidth(const std::string& line, int column) const {
        return FCanvas.TextWidth(CharRange(line, column, column + 1));
    }
    int LineHeight() const { return FCanvas.TextHeight("Wg"); }

private:
    TCanvas FCanvas;
};

void TCustomEdit::ScrollCaretIntoView() {
    TTextLines lines = LayOut(Text(), IsMultiLine());
    int line = lines.LineOf(FCaret);
    int column = FCaret - lines.Starts[static_cast<std::size_t>(line)];
    TEditMeasure measure(Font());
    const std::string& text = lines.Lines[static_cast<std::size_t>(line)];
    int x = measure.Width(text, column);
    // The caret stands before the character at its column: that character is shown whole.
    int cell = column < lines.LineLength(line) ? measure.CharWidth(text, column)
                                               : TextCellWidth * Font()->Scale();
    int width = std::max(cell, FormatRect().Width());
    if (x < FTextScroll) FTextScroll = x;
    if (x >= FTextScroll + width) FTextScroll = x - width + cell;
    FTextScroll = std::max(0, FTextScroll);
}

int TCustomEdit::PositionAt(int X, int Y) const {
    TTextLines lines = LayOut(Text(), IsMultiLine());
    TRect r = FormatRect();
    TEditMeasure measure(Font());
    int lineHeight = measure.LineHeight();
    int line = IsMultiLine() ? std::clamp((Y - r.Top) / std::max(1, lineHeight), 0,
                                          static_cast<int>(lines.Lines.size()) - 1)
                             : 0;
    const std::string& text = lines.Lines[static_cast<std::size_t>(line)];
    int x = X - r.Left + FTextScroll;
    // The boundary nearest to x: the last column whose character's middle lies left of x.
    // Widths grow with the column, so a binary search finds it.
    int low = 0, high = lines.LineLength(line);
    while (low < high) {
        int mid = (low + high) / 2;
        int middle = measure.Width(text, mid) + measure.CharWidth(text, mid) / 2;
        if (middle <= x)
            low = mid + 1;
        else
            high = mid;
    }
    return lines.Starts[static_cast<std::size_t>(line)] + low;
}

// Typed bytes: a character of several UTF-8 bytes arrives one WM_CHAR at a time and is inserted
// whole.
void TCustomEdit::TypeByte(char c) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
        FPendingUtf8.clear();
        UserReplaceSelection(std::string(1, c));
    } else if (b >= 0xC0) {
        FPendingUtf8.assign(1, c);
    } else if (!FPendingUtf8.empty()) {
        FPendingUtf8 += c;
        if (FPendingUtf8.size() == SequenceLength(static_cast<unsigned char>(FPendingUtf8[0]))) {
            std::string character = FPendingUtf8;
            FPendingUtf8.clear();
            UserReplaceSelection(character);
        }
    }
}

void TCustomEdit::DefaultKeyDown(uint16_t& Key, TShiftState Shift) {
    bool extend = Shift.Contains(ssShift);
    TTextLines lines = LayOut(Text(), IsMultiLine());
    int line = lines.LineOf(FCaret);
    int lineStart = lines.Starts[static_cast<std::size_t>(line)];
    switch (Key) {
    case VK_LEFT:
        if (Shift.Contains(ssCtrl))
            MoveCaret(WordBoundary(Text(), FCaret, false), extend);
        else
            MoveCaret(!extend && SelLength() > 0 ? SelStart() : FCaret - 1, extend);
        break;
    case VK_RIGHT:
        if (Shift.Contains(ssCtrl))
            MoveCaret(WordBoundary(Text(), FCaret, true), extend);
        else
            MoveCaret(!extend && SelLength() > 0 ? SelStart() + SelLength() : FCaret + 1, extend);
        break;
    case VK_HOME:
        MoveCaret(Shift.Contains(ssCtrl) ? 0 : lineStart, extend);
        break;
    case VK_END:
        MoveCaret(Shift.Contains(ssCtrl) ? TextLength() : lineStart + lines.LineLength(line),
                  extend);
        break;
    case VK_DELETE:
        if (extend)
            CutToClipboard();
        else
            UserDelete(true);
        break;
    case VK_INSERT:
        if (Shift.Contains(ssCtrl))
            CopyToClipboard();
        else if (extend)
            PasteFromClipboard();
        else
            return;
        break;
    default:
        return;
    }
    Key = 0;
}

void TCustomEdit::DefaultKeyPress(char& Key) {
    switch (Key) {
    case 8: // Backspace
        UserDelete(false);
        break;
    case 1: // Ctrl+A
        SelectAll();
        break;
    case 3: // Ctrl+C
        CopyToClipboard();
        break;
    case 22: // Ctrl+V
        PasteFromClipboard();
        break;
    case 24: // Ctrl+X
        CutToClipboard();
        break;
    default:
        if (static_cast<unsigned char>(Key) < 32 || Key == 127) return;
        TypeByte(Key);
        break;
    }
    Key = 0;
}

void TCustomEdit::DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                                   bool DoubleClick) {
    if (Button != mbLeft) return;
    if (DoubleClick)
        SelectAll();
    else
        MoveCaret(PositionAt(X, Y), Shift.Contains(ssShift));
}

void TCustomEdit::DoEnter() {
    if (FAutoSelect) SelectAll();
    TCustomControl::DoEnter();
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style |= ES_AUTOHSCROLL;
    if (FReadOnly) Params.Style |= ES_READONLY;
}

void TCustomEdit::WndProc(TMessage& Message) {
    if (Message.Msg == CM_TEXTCHANGED) TextChanged();
    TCustomControl::WndProc(Message);
}

void TCustomEdit::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case EM_SETREADONLY:
        FReadOnly = Message.WParam != 0;
        Invalidate();
        Message.Result = 1;
        break;
    case EM_SETSEL: {
        auto start = static_cast<int>(static_cast<intptr_t>(Message.WParam));
        auto end = static_cast<int>(Message.LParam);
        if (start == -1) {
            FAnchor = FCaret;
        } else {
            if (end == -1) end = TextLength();
            FAnchor = std::clamp(start, 0, TextLength());
            FCaret = std::clamp(end, 0, TextLength());
        }
        ScrollCaretIntoView();
        Invalidate();
        break;
    }
    case EM_GETSEL:
        Message.Result = MakeLParam(SelStart(), SelStart() + SelLength());
        break;
    case EM_SETRECT:
    case EM_SETRECTNP:
        if (const auto* r = reinterpret_cast<const TRect*>(Message.LParam)) {
            FFormatRect = *r;
            FHasFormatRect = true;
        } else {
            FHasFormatRect = false;
        }
        if (Message.Msg == EM_SETRECT) Invalidate();
        break;
    case EM_GETRECT:
        if (auto* r = reinterpret_cast<TRect*>(Message.LParam)) *r = FormatRect();
        break;
    case EM_SCROLLCARET:
        ScrollCaretIntoView();
        Invalidate();
        Message.Result = 1;
        break;
    case EM_GETMODIFY:
        Message.Result = FModified ? 1 : 0;
        break;
    case EM_SETMODIFY:
        FModified = Message.WParam != 0;
        break;
    case EM_LIMITTEXT:
        SetMaxLength(static_cast<int>(Message.WParam));
        break;
    case EM_REPLACESEL:
        SetSelText(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "");
        break;
    case WM_SETCURSOR:
        SetCursor(CursorHandle(Cursor() == crDefault ? crIBeam : Cursor()));
        Message.Result = 1;
        break;
    default:
        TCustomControl::DefaultHandler(Message);
    }
}

// Whatever device context the message brings, PaintWindow draws on one (the own surface when
// none), so that descendants may draw on it before and after the text.
void TCustomEdit::WMPaint(TMessage& Message) {
    HDC dc = Message.WParam ? static_cast<HDC>(Message.WParam) : OwnSurfaceDC();
    PaintWindow(dc);
}

void TCustomEdit::Paint() {
    TCanvas* canvas = Canvas();
    bool enabled = IsEnabledWithParents();
    // A read-only or disabled box in the window colour takes the face colour, as users expect.
    bool readOnlyFace = FReadOnly && ShowsReadOnlyFace();
    TColor back = Color() == clWindow && (!enabled || readOnlyFace) ? clBtnFace : Color();
    TColor fore = enabled ? Font()->Color() : clGrayText;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(back);
    canvas->FillRect(ClientRect());
    canvas->Font()->Assign(Font());
    canvas->Font()->SetColor(fore);
    TRect area = FormatRect();
    TTextLines lines = LayOut(Text(), IsMultiLine());
    int lineHeight = canvas->TextHeight("Wg");
    // One line sits in the middle of the box; more lines run from the top.
    int top = IsMultiLine() ? area.Top : area.Top + (area.Height() - lineHeight) / 2;
    bool focused = Focused();
    int selFrom = SelStart(), selTo = SelStart() + SelLength();
    auto xOf = [&](std::size_t line, int column) {
        return area.Left - FTextScroll + canvas->TextWidth(CharRange(lines.Lines[line], 0, column));
    };
    for (std::size_t i = 0; i < lines.Lines.size(); ++i) {
        int y = top + static_cast<int>(i) * lineHeight;
        if (y >= area.Bottom) break;
        TRect row{area.Left, std::max(area.Top, y), area.Right,
                  std::min(area.Bottom, y + lineHeight)};
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextRect(row, xOf(i, 0), y, lines.Lines[i]);
        // The selection shows while the control has the focus.
        int from = std::max(selFrom - lines.Starts[i], 0);
        int to = std::min(selTo - lines.Starts[i], lines.LineLength(static_cast<int>(i)));
        if (focused && from < to) {
            TRect sel{xOf(i, from), row.Top, xOf(i, to), row.Bottom};
            IntersectRect(sel, sel, row);
            canvas->Brush()->SetStyle(bsSolid);
            canvas->Brush()->SetColor(clHighlight);
            canvas->Font()->SetColor(clHighlightText);
            canvas->TextRect(sel, xOf(i, from), y, CharRange(lines.Lines[i], from, to));
            canvas->Font()->SetColor(fore);
        }
    }
    canvas->Brush()->SetStyle(bsSolid);
    if (focused && SelLength() == 0) {
        std::size_t line = static_cast<std::size_t>(lines.LineOf(FCaret));
        int x = xOf(line, FCaret - lines.Starts[line]);
        int y = top + static_cast<int>(line) * lineHeight;
        canvas->Brush()->SetColor(fore);
        canvas->FillRect(
            TRect{x, std::max(area.Top, y), x + 1, std::min(area.Bottom, y + lineHeight)});
    }
}

// --- TCustomMemo ------------------------------------------------------------------------------

namespace {

// The lines of a memo, read from and written to its text. While an update is under way the
// lines are kept here and written back once at its end.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo& Memo) : FMemo(Memo) {}

    int Count() const override { return static_cast<int>(Current().size()); }
    std::string Get(int index) const override {
        CheckIndex(index, false);
        return Current()[static_cast<std::size_t>(index)];
    }
    void Put(int index, const std::string& s) override {
        CheckIndex(index, false);
        Change(
            [&](std::vector<std::string>& lines) { lines[static_cast<std::size_t>(index)] = s; });
    }
    TObject* GetObject(int) const override { return nullptr; }
    void PutObject(int, TObject*) override {}
    void InsertObject(int index, const std::string& s, TObject*) override {
        CheckIndex(index, true);
        Change([&](std::vector<std::string>& lines) { lines.insert(lines.begin() + index, s); });
    }
    void Delete(int index) override {
        CheckIndex(index, false);
        Change([&](std::vector<std::string>& lines) { lines.erase(lines.begin() + index); });
    }
    void Clear() override {
        Change([](std::vector<std::string>& lines) { lines.clear(); });
    }

protected:
    void SetUpdateState(bool updating) override {
        if (updating) {
            FBatch = Split(FMemo.Text());
            FBatching = true;
        } else {
            FBatching = false;
            Write(FBatch);
        }
    }

private:
    // The memo's lines; a last line that is empty is not one.
    static std::vector<std::string> Split(const std::string& text) {
        std::vector<std::string> lines;
        std::size_t from = 0;
        while (from < text.size()) {
            std::size_t end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(from, end - from));
            from = end + 1;
        }
        return lines;
    }
    std::vector<std::string> Current() const { return FBatching ? FBatch : Split(FMemo.Text()); }
    void CheckIndex(int index, bool insert) const {
        if (index < 0 || index > Count() || (!insert && index == Count())) IndexError(index);
    }
    template <class F> void Change(F&& change) {
        if (FBatching) {
            change(FBatch);
            return;
        }
        std::vector<std::string> lines = Split(FMemo.Text());
        change(lines);
        Write(lines);
    }
    void Write(const std::vector<std::string>& lines) {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i)
            text += (i ? "\n" : "") + lines[i];
        FMemo.SetText(text);
    }

    TCustomMemo& FMemo;
    std::vector<std::string> FBatch;
    bool FBatching = false;
};

} // namespace

TCustomMemo::TCustomMemo(TComponent* AOwner)
    : TCustomEdit(AOwner), FLines(std::make_unique<TMemoStrings>(*this)) {
    SetAutoSelect(false);
    SetBounds(0, 0, 185, 89);
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::SetLines(TStrings* value) {
    if (value) FLines->Assign(value);
}

TPoint TCustomMemo::CaretPos() const {
    TTextLines lines = LayOut(Text(), true);
    int line = lines.LineOf(CaretPosition());
    return {CaretPosition() - lines.Starts[static_cast<std::size_t>(line)], line};
}

void TCustomMemo::DefaultKeyDown(uint16_t& Key, TShiftState Shift) {
    if (Key == VK_RETURN && FWantReturns) {
        Key = 0; // the character that follows makes the line break
        return;
    }
    if (Key == VK_TAB && FWantTabs) {
        Key = 0;
        return;
    }
    if (Key == VK_UP || Key == VK_DOWN) {
        TTextLines lines = LayOut(Text(), true);
        int line = lines.LineOf(CaretPosition());
        int column = CaretPosition() - lines.Starts[static_cast<std::size_t>(line)];
        int target =
            std::clamp(line + (Key == VK_UP ? -1 : 1), 0, static_cast<int>(lines.Lines.size()) - 1);
        MoveCaret(lines.Starts[static_cast<std::size_t>(target)] +
                      std::min(column, lines.LineLength(target)),
                  Shift.Contains(ssShift));
        Key = 0;
        return;
    }
    TCustomEdit::DefaultKeyDown(Key, Shift);
}

void TCustomMemo::DefaultKeyPress(char& Key) {
    if (Key == '\r' && FWantReturns) {
        UserReplaceSelection("\n");
        Key = 0;
        return;
    }
    if (Key == '\t' && FWantTabs) {
        UserReplaceSelection("\t");
        Key = 0;
        return;
    }
    TCustomEdit::DefaultKeyPress(Key);
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
    TCustomEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE;
    if (FWantReturns) Params.Style |= ES_WANTRETURN;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
}

// --- TCustomLabel -----------------------------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetColor(clBtnFace);
    SetBounds(0, 0, 65, 17);
}

TCustomLabel::~TCustomLabel() = default;

void TCustomLabel::SetFocusControl(TWinControl* value) {
    if (value == FFocusControl) return;
    if (FFocusControl) RemoveFreeNotification(FFocusControl);
    FFocusControl = value;
    if (value) FreeNotification(value);
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (value == FAlignment) return;
    FAlignment = value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool value) {
    if (value == FAutoSize) return;
    FAutoSize = value;
    AdjustBounds();
}

void TCustomLabel::SetShowAccelChar(bool value) {
    if (value == FShowAccelChar) return;
    FShowAccelChar = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Invalidate();
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_DIALOGCHAR:
        if (FShowAccelChar && FFocusControl && FFocusControl->CanFocus() &&
            IsAccel(static_cast<char>(Message.WParam), Caption())) {
            FFocusControl->SetFocus();
            Message.Result = 1;
            return;
        }
        break;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        AdjustBounds();
        break;
    default:
        break;
    }
    TGraphicControl::WndProc(Message);
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

std::string TCustomLabel::DisplayText() const {
    return FShowAccelChar ? StripAccelChars(Caption()) : Caption();
}

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize || IsLoading()) return;
    TCanvas measure;
    measure.Font()->Assign(Font());
    TSize size = measure.TextExtent(DisplayText());
    SetBounds(Left(), Top(), size.cx, size.cy);
}

// --- Buttons ----------------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* AOwner) : TCustomControl(AOwner) {
    SetTabStop(true);
    SetColor(clBtnFace);
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
    SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool value) {
    if (value == FDefault) return;
    FDefault = value;
    Invalidate();
}

void TButton::Click() {
    if (TCustomForm* form = GetParentForm(this); form && FModalResult != mrNone)
        form->SetModalResult(FModalResult);
    TButtonControl::Click();
}

// Enter belongs to the focused button, or to the default button while no button has the focus;
// Escape to the cancel button.
bool TButton::TakesDialogKey(uint16_t Key) const {
    if (!IsVisibleOnScreen() || !IsEnabledWithParents()) return false;
    if (Key == VK_RETURN)
        return Focused() || (FDefault && !dynamic_cast<TButton*>(FocusedControl()));
    return Key == VK_ESCAPE && FCancel;
}

void TButton::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_DIALOGKEY:
        if (TakesDialogKey(static_cast<uint16_t>(Message.WParam))) {
            Click();
            Message.Result = 1;
            return;
        }
        break;
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<char>(Message.WParam), Caption()) && CanFocus()) {
            SetFocus();
            Click();
            Message.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TButtonControl::WndProc(Message);
}

void TButton::DefaultHandler(TMessage& Message) {
    if (Message.Msg == BM_CLICK) {
        if (IsEnabledWithParents()) Click();
        return;
    }
    TButtonControl::DefaultHandler(Message);
}

void TButton::DefaultKeyPress(char& Key) {
    if (Key != ' ') return;
    Key = 0;
    Click();
}

void TButton::CreateParams(TCreateParams& Params) {
    TButtonControl::CreateParams(Params);
    Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

// --- TCustomCheckBox --------------------------------------------------------------------------

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
    TControlStyle style = ControlStyle();
    style.Exclude(csClickEvents); // a click is a Toggle, whose state change runs Click
    SetControlStyle(style);
    SetBounds(0, 0, 97, 17);
}

void TCustomCheckBox::SetState(TCheckBoxState value) {
    if (value == FState) return;
    FState = value;
    Invalidate();
    if (!ClicksDisabled()) Click();
}

void TCustomCheckBox::SetAllowGrayed(bool value) {
    FAllowGrayed = value;
}

void TCustomCheckBox::SetAlignment(TAlignment value) {
    if (value == taCenter) value = taRightJustify;
    if (value == FAlignment) return;
    FAlignment = value;
    Invalidate();
}

void TCustomCheckBox::Toggle() {
    switch (FState) {
    case cbUnchecked:
        SetState(cbChecked);
        break;
    case cbChecked:
        SetState(FAllowGrayed ? cbGrayed : cbUnchecked);
        break;
    case cbGrayed:
        SetState(cbUnchecked);
        break;
    }
}

void TCustomCheckBox::DefaultMouseDown(TMouseButton Button, TShiftState, int, int, bool) {
    if (Button != mbLeft) return;
    FPressed = true;
    Invalidate();
}

void TCustomCheckBox::DefaultMouseUp(TMouseButton Button, TShiftState, int X, int Y) {
    if (Button != mbLeft) return;
    bool inside = FPressed && ClientRect().Contains({X, Y});
    FPressed = false;
    Invalidate();
    if (inside) Toggle();
}

void TCustomCheckBox::DefaultKeyPress(char& Key) {
    if (Key != ' ') return;
    Key = 0;
    Toggle();
}

void TCustomCheckBox::WndProc(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR && IsAccel(static_cast<char>(Message.WParam), Caption()) &&
        CanFocus()) {
        SetFocus();
        Toggle();
        Message.Result = 1;
        return;
    }
    if (Message.Msg == WM_CANCELMODE) FPressed = false;
    TButtonControl::WndProc(Message);
}

void TCustomCheckBox::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case BM_SETCHECK:
        // The window's own check mark: set without a click, as when painting a copy.
        FState = CheckStateOf(Message.WParam);
        Invalidate();
        break;
    case BM_GETCHECK:
        Message.Result = FState;
        break;
    case BM_CLICK:
        if (IsEnabledWithParents()) Toggle();
        break;
    default:
        TButtonControl::DefaultHandler(Message);
    }
}

void TCustomCheckBox::CreateParams(TCreateParams& Params) {
    TButtonControl::CreateParams(Params);
    Params.Style |= FAllowGrayed ? BS_3STATE : BS_CHECKBOX;
    if (FAlignment == taLeftJustify) Params.Style |= BS_LEFTTEXT;
}

// --- TCustomGroupBox --------------------------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
    TControlStyle style = ControlStyle();
    style.Include(csAcceptsControls);
    SetControlStyle(style);
    SetColor(clBtnFace);
    SetBounds(0, 0, 185, 105);
}

// --- TListControlItems ------------------------------------------------------------------------

void TListControlItems::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) IndexError(index);
}

std::string TListControlItems::Get(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Text;
}

TObject* TListControlItems::GetObject(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Object;
}

void TListControlItems::PutObject(int index, TObject* object) {
    CheckIndex(index);
    FItems[static_cast<std::size_t>(index)].Object = object;
    FOwner.ItemChanged(index);
}

// The place a text takes in the sorted entries: after every entry not greater than it.
int TListControlItems::SortedPlace(const std::string& s) const {
    auto it = std::upper_bound(FItems.begin(), FItems.end(), s,
                               [](const std::string& text, const TItem& item) {
                                   return CompareText(text, item.Text) < 0;
                               });
    return static_cast<int>(it - FItems.begin());
}

void TListControlItems::InsertItem(int index, TItem item) {
    FItems.insert(FItems.begin() + index, std::move(item));
    FOwner.ItemInserted(index);
}

void TListControlItems::Put(int index, const std::string& s) {
    CheckIndex(index);
    if (!FSorted) {
        FItems[static_cast<std::size_t>(index)].Text = s;
        FOwner.ItemChanged(index);
        return;
    }
    // In a sorted list the entry moves to the place of its new text, with its object and mark.
    TItem item = FItems[static_cast<std::size_t>(index)];
    item.Text = s;
    FItems.erase(FItems.begin() + index);
    int place = SortedPlace(s);
    FItems.insert(FItems.begin() + place, item);
    std::vector<int> oldToNew(FItems.size());
    for (int i = 0; i < Count(); ++i) {
        int shifted = i > index ? i - 1 : i;
        oldToNew[static_cast<std::size_t>(i)] = i == index         ? place
                                                : shifted >= place ? shifted + 1
                                                                   : shifted;
    }
    FOwner.ItemsReordered(oldToNew);
    FOwner.ItemChanged(place);
}

void TListControlItems::InsertObject(int index, const std::string& s, TObject* object) {
    if (FSorted) RaiseRes<EStringListError>(SSortedListError);
    if (index < 0 || index > Count()) IndexError(index);
    InsertItem(index, TItem{s, object, false});
}

int TListControlItems::AddObject(const std::string& s, TObject* object) {
    int index = FSorted ? SortedPlace(s) : Count();
    InsertItem(index, TItem{s, object, false});
    return index;
}

void TListControlItems::Delete(int index) {
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
    FOwner.ItemDeleted(index);
}

void TListControlItems::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    FOwner.ItemsCleared();
}

void TListControlItems::Exchange(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    if (a == b) return;
    std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
    std::vector<int> oldToNew(FItems.size());
    std::iota(oldToNew.begin(), oldToNew.end(), 0);
    oldToNew[static_cast<std::size_t>(a)] = b;
    oldToNew[static_cast<std::size_t>(b)] = a;
    FOwner.ItemsReordered(oldToNew);
}

void TListControlItems::SetSorted(bool value) {
    if (value == FSorted) return;
    FSorted = value;
    if (!value || FItems.size() < 2) return;
    std::vector<int> order(FItems.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return CompareText(FItems[static_cast<std::size_t>(a)].Text,
                           FItems[static_cast<std::size_t>(b)].Text) < 0;
    });
    std::vector<TItem> sorted;
    std::vector<int> oldToNew(FItems.size());
    for (std::size_t place = 0; place < order.size(); ++place) {
        sorted.push_back(FItems[static_cast<std::size_t>(order[place])]);
        oldToNew[static_cast<std::size_t>(order[place])] = static_cast<int>(place);
    }
    FItems = std::move(sorted);
    FOwner.ItemsReordered(oldToNew);
}

bool TListControlItems::Selected(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Selected;
}

void TListControlItems::SetSelected(int index, bool value) {
    CheckIndex(index);
    FItems[static_cast<std::size_t>(index)].Selected = value;
}

int TListControlItems::SelCount() const {
    return static_cast<int>(
        std::count_if(FItems.begin(), FItems.end(), [](const TItem& i) { return i.Selected; }));
}

// --- Published properties ---------------------------------------------------------------------

const TClassInfo& TCustomEdit::HostProperties() {
    using T = TCustomEdit;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomEdit properties", &TWinControl::HostProperties())
            .Property("AutoSelect", &T::AutoSelect, &T::SetAutoSelect, Variant(true))
            .Enum("BorderStyle", "TBorderStyle", {"bsNone", "bsSingle"},
                  MemberOf<T>(&TWinControl::BorderStyle), MemberOf<T>(&TWinControl::SetBorderStyle),
                  std::optional<TBorderStyle>(bsSingle))
            .Property("MaxLength", &T::MaxLength, &T::SetMaxLength, Variant(0))
            .Property("ReadOnly", &T::ReadOnly, &T::SetReadOnly, Variant(false))
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Property("Text", MemberOf<T>(&TControl::Text), MemberOf<T>(&TControl::SetText))
            .Event("OnChange", "TNotifyEvent", &T::OnChange)
            .Build();
    return info;
}

const TClassInfo& TEdit::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TEdit>("TEdit", &TWinControl::StaticClassInfo())
            .Republish(
                TCustomEdit::HostProperties(),
                {"AutoSelect",  "BorderStyle", "Color",          "Ctl3D",      "DragCursor",
                 "DragMode",    "Enabled",     "Font",           "MaxLength",  "ParentColor",
                 "ParentCtl3D", "ParentFont",  "ParentShowHint", "PopupMenu",  "ReadOnly",
                 "ShowHint",    "TabOrder",    "TabStop",        "Text",       "Visible",
                 "OnChange",    "OnClick",     "OnDblClick",     "OnDragDrop", "OnDragOver",
                 "OnEndDrag",   "OnEnter",     "OnExit",         "OnKeyDown",  "OnKeyPress",
                 "OnKeyUp",     "OnMouseDown", "OnMouseMove",    "OnMouseUp",  "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TCustomMemo::HostProperties() {
    using T = TCustomMemo;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomMemo properties", &TCustomEdit::HostProperties())
            .Object("Lines", "TStrings", &T::Lines, &T::SetLines)
            .Enum("ScrollBars", "TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"},
                  &T::ScrollBars, &T::SetScrollBars, std::optional<TScrollStyle>(ssNone))
            .Property("WantReturns", &T::WantReturns, &T::SetWantReturns, Variant(true))
            .Property("WantTabs", &T::WantTabs, &T::SetWantTabs, Variant(false))
            .Property("WordWrap", &T::WordWrap, &T::SetWordWrap, Variant(true))
            .Build();
    return info;
}

const TClassInfo& TMemo::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TMemo>("TMemo", &TWinControl::StaticClassInfo())
            .Republish(TCustomMemo::HostProperties(),
                       {"Align",       "BorderStyle", "Color",      "Ctl3D",          "DragCursor",
                        "DragMode",    "Enabled",     "Font",       "Lines",          "MaxLength",
                        "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                        "ReadOnly",    "ScrollBars",  "ShowHint",   "TabOrder",       "TabStop",
                        "Visible",     "WantReturns", "WantTabs",   "WordWrap",       "OnChange",
                        "OnClick",     "OnDblClick",  "OnDragDrop", "OnDragOver",     "OnEndDrag",
                        "OnEnter",     "OnExit",      "OnKeyDown",  "OnKeyPress",     "OnKeyUp",
                        "OnMouseDown", "OnMouseMove", "OnMouseUp",  "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TCustomLabel::HostProperties() {
    using T = TCustomLabel;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomLabel properties", &TControl::HostProperties())
            .Enum("Alignment", "TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"},
                  &T::Alignment, &T::SetAlignment, std::optional<TAlignment>(taLeftJustify))
            .Property("AutoSize", &T::AutoSize, &T::SetAutoSize, Variant(true))
            .Property("Color", MemberOf<T>(&TControl::Color), MemberOf<T>(&TControl::SetColor),
                      Variant(clBtnFace))
            .Object("FocusControl", "TWinControl", &T::FocusControl, &T::SetFocusControl)
            .Property("ShowAccelChar", &T::ShowAccelChar, &T::SetShowAccelChar, Variant(true))
            .Property("Transparent", &T::Transparent, &T::SetTransparent, Variant(false))
            .Property("WordWrap", &T::WordWrap, &T::SetWordWrap, Variant(false))
            .Build();
    return info;
}

const TClassInfo& TLabel::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TLabel>("TLabel", &TControl::StaticClassInfo())
            .Republish(TCustomLabel::HostProperties(),
                       {"Align",          "Alignment",   "AutoSize",      "Caption",
                        "Color",          "DragCursor",  "DragMode",      "Enabled",
                        "FocusControl",   "Font",        "ParentColor",   "ParentFont",
                        "ParentShowHint", "PopupMenu",   "ShowAccelChar", "ShowHint",
                        "Transparent",    "Visible",     "WordWrap",      "OnClick",
                        "OnDblClick",     "OnDragDrop",  "OnDragOver",    "OnEndDrag",
                        "OnMouseDown",    "OnMouseMove", "OnMouseUp",     "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TButton::HostProperties() {
    using T = TButton;
    static const TClassInfo info =
        TClassBuilder<T>("TButton properties", &TWinControl::HostProperties())
            .Property("Cancel", &T::Cancel, &T::SetCancel, Variant(false))
            .Property("Default", &T::Default, &T::SetDefault, Variant(false))
            .Property("ModalResult", &T::ModalResult, &T::SetModalResult, Variant(mrNone))
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Build();
    return info;
}

const TClassInfo& TButton::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TButton>("TButton", &TWinControl::StaticClassInfo())
            .Republish(TButton::HostProperties(),
                       {"Cancel",      "Caption",    "Default",     "DragCursor", "DragMode",
                        "Enabled",     "Font",       "ModalResult", "ParentFont", "ParentShowHint",
                        "PopupMenu",   "ShowHint",   "TabOrder",    "TabStop",    "Visible",
                        "OnClick",     "OnDragDrop", "OnDragOver",  "OnEndDrag",  "OnEnter",
                        "OnExit",      "OnKeyDown",  "OnKeyPress",  "OnKeyUp",    "OnMouseDown",
                        "OnMouseMove", "OnMouseUp",  "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TCustomCheckBox::HostProperties() {
    using T = TCustomCheckBox;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomCheckBox properties", &TWinControl::HostProperties())
            .Enum("Alignment", "TLeftRight", {"taLeftJustify", "taRightJustify"}, &T::Alignment,
                  &T::SetAlignment, std::optional<TAlignment>(taRightJustify))
            .Property("AllowGrayed", &T::AllowGrayed, &T::SetAllowGrayed, Variant(false))
            .Property("Checked", &T::Checked, &T::SetChecked, Variant(false))
            .Property("Color", MemberOf<T>(&TControl::Color), MemberOf<T>(&TControl::SetColor),
                      Variant(clBtnFace))
            .Enum("State", "TCheckBoxState", {"cbUnchecked", "cbChecked", "cbGrayed"}, &T::State,
                  &T::SetState, std::optional<TCheckBoxState>(cbUnchecked))
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Build();
    return info;
}

const TClassInfo& TCheckBox::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCheckBox>("TCheckBox", &TWinControl::StaticClassInfo())
            .Republish(TCustomCheckBox::HostProperties(),
                       {"Alignment",   "AllowGrayed", "Caption",    "Checked",        "Color",
                        "Ctl3D",       "DragCursor",  "DragMode",   "Enabled",        "Font",
                        "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu",
                        "ShowHint",    "State",       "TabOrder",   "TabStop",        "Visible",
                        "OnClick",     "OnDragDrop",  "OnDragOver", "OnEndDrag",      "OnEnter",
                        "OnExit",      "OnKeyDown",   "OnKeyPress", "OnKeyUp",        "OnMouseDown",
                        "OnMouseMove", "OnMouseUp",   "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TCustomGroupBox::HostProperties() {
    using T = TCustomGroupBox;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomGroupBox properties", &TWinControl::HostProperties())
            .Property("Color", MemberOf<T>(&TControl::Color), MemberOf<T>(&TControl::SetColor),
                      Variant(clBtnFace))
            .Build();
    return info;
}

const TClassInfo& TGroupBox::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TGroupBox>("TGroupBox", &TWinControl::StaticClassInfo())
            .Republish(TCustomGroupBox::HostProperties(),
                       {"Align",       "Caption",        "Color",      "Ctl3D",       "DragCursor",
                        "DragMode",    "Enabled",        "Font",       "ParentColor", "ParentCtl3D",
                        "ParentFont",  "ParentShowHint", "PopupMenu",  "ShowHint",    "TabOrder",
                        "TabStop",     "Visible",        "OnClick",    "OnDblClick",  "OnDragDrop",
                        "OnDragOver",  "OnEndDrag",      "OnEnter",    "OnExit",      "OnMouseDown",
                        "OnMouseMove", "OnMouseUp",      "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
