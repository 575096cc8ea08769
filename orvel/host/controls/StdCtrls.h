// The standard controls of the headless widget set: edit boxes and memos, labels, push buttons,
// check boxes, group boxes, list boxes and combo boxes. Each keeps its whole state (text,
// caret and selection, entries, selection marks, check state, drop-down state, item geometry)
// and answers the window messages of its window class through DefaultHandler, so that code
// written against the host's messages (CB_ADDSTRING, LB_SELECTSTRING, EM_SETREADONLY,
// BM_SETCHECK, ...) works on it. A combo box's edit box and list are real child windows.
#pragma once

#include "orvel/host/controls/Controls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/core/Strings.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvel {

// The application's clipboard (text only).
std::string ClipboardText();
void SetClipboardText(const std::string& text);
// Where the clipboard lives when a windowing platform offers the system's: both functions set,
// or neither (the application's own clipboard).
struct TClipboardHook {
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
};
void SetClipboardHook(TClipboardHook hook);

// Whether a caption marks Key as its accelerator ("&Add" marks A; "&&" is a plain ampersand);
// letters compare without regard to case.
bool IsAccel(char Key, const std::string& Caption);
// A caption without its accelerator marks ("&Add" gives "Add", "&&" gives "&").
std::string StripAccelChars(const std::string& Caption);

// --- Editing one line of text ------------------------------------------------------------

// The character position (UTF-8 code points) where Ctrl+Right (Forward) or Ctrl+Left lands from
// Position: past the rest of the word and the separators after it, or back to the start of the
// word before. Letters, digits and every non-ASCII character make words; the rest separates them.
int WordBoundary(const std::string& Text, int Position, bool Forward);

// The text, caret and selection of a one-line editor drawn by its owner (the in-place caption
// editors of the tree and list views), and what the editing keys do to them, as an edit box
// does: Left, Right, Home, End (Shift extends the selection, Ctrl moves by word), Delete,
// Backspace, Ctrl+A, and typing that replaces the selection. Positions count characters; a
// character typed as several UTF-8 bytes is inserted whole, and no key splits one.
class TLineEditor {
public:
    const std::string& Text() const { return FText; }
    // Replaces the text; the caret goes to its end, the whole text selected when SelectAll.
    void SetText(const std::string& text, bool selectAll);
    int Length() const;
    int Caret() const { return FCaret; }
    int SelStart() const { return std::min(FAnchor, FCaret); }
    int SelLength() const { return std::abs(FCaret - FAnchor); }
    void MoveCaret(int position, bool extend);
    void ReplaceSelection(const std::string& s);
    // Deletes the selection, else the character after (Forward) or before the caret.
    void Delete(bool forward);
    // A WM_KEYDOWN key: true when it is an editing key (and was handled).
    bool KeyDown(uint16_t key, TShiftState shift);
    // A WM_CHAR byte: true when it edited the text or the selection. Ctrl+C copies the
    // selection to the clipboard, Ctrl+X cuts it, Ctrl+V replaces it with the clipboard's text
    // (its first line: the editor holds one).
    bool KeyPress(char c);

private:
    std::string FText;
    int FAnchor = 0;
    int FCaret = 0;
    std::string FPendingUtf8; // the first bytes of a character typed one byte at a time
};

// --- Edit boxes ---------------------------------------------------------------------------

// A one-line edit box. The text is the control's Text. Positions (SelStart, SelLength) count
// characters (UTF-8 code points). Setting the text as a program does (SetText, WM_SETTEXT)
// clears Modified and puts the caret at the start; typing marks Modified. Every change of the
// text runs Change (OnChange). A read-only edit box (ReadOnly, EM_SETREADONLY) refuses typing,
// deleting, cutting and pasting but still moves its caret and selection.
class TCustomEdit : public TCustomControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    ~TCustomEdit() override;

    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    // The most characters typing may make the text hold; 0: no limit. Text set by a program is
    // not cut.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    // Select the whole text when the focus arrives (from a key or a program, not a click).
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value) { FAutoSelect = value; }

    int SelStart() const;
    void SetSelStart(int value);
    int SelLength() const;
    void SetSelLength(int value);
    std::string SelText() const;
    // Replaces the selection as typing does (marks Modified), read-only or not.
    void SetSelText(const std::string& value);
    void SelectAll();
    void ClearSelection();
    void Clear();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // The caret, as a character position.
    int CaretPosition() const { return FCaret; }
    int TextLength() const; // characters

    // The rectangle the text is laid out in: the client area less 1 pixel, or what EM_SETRECT
    // and EM_SETRECTNP set. EM_SCROLLCARET scrolls the text so the caret shows in it.
    TRect FormatRect() const;
    // The horizontal scroll of the text in pixels (the caret kept inside the format rectangle).
    int TextScroll() const { return FTextScroll; }

    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    TNotifyEvent OnChange;

    static const TClassInfo& HostProperties();

protected:
    virtual void Change();
    // True while the text changes because the user typed, deleted, cut or pasted.
    bool ChangingByUser() const { return FUserChange; }
    // Replaces the selection with s as typing does: refused (false) when read-only or when the
    // text would exceed MaxLength.
    bool UserReplaceSelection(const std::string& s);
    // Deletes the selection, else the character before (Backspace) or after (Delete) the caret.
    bool UserDelete(bool Forward);
    void MoveCaret(int Position, bool Extend);

    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DefaultKeyPress(char& Key) override;
    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DoEnter() override;
    void CreateParams(TCreateParams& Params) override;
    void WMPaint(TMessage& Message) override;
    void Paint() override;
    // Whether a read-only box shows the face colour instead of its Color (a box of its own does;
    // an editor that is part of another control's look does not).
    virtual bool ShowsReadOnlyFace() const { return true; }
    // The character position under a client point.
    int PositionAt(int X, int Y) const;
    // A memo lays its text out in lines; an edit box in one.
    virtual bool IsMultiLine() const { return false; }

private:
    void TextChanged();
    void SetTextByUser(const std::string& text, int caret);
    void ScrollCaretIntoView();
    void TypeByte(char c);

    int FAnchor = 0;
    int FCaret = 0;
    int FMaxLength = 0;
    int FTextScroll = 0;
    bool FModified = false;
    bool FReadOnly = false;
    bool FAutoSelect = true;
    bool FUserChange = false;
    bool FHasFormatRect = false;
    TRect FFormatRect;
    std::string FPendingUtf8; // the first bytes of a character typed one byte at a time
};

class TEdit : public TCustomEdit {
    ORVEL_PUBLISHED(TEdit)
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A multi-line edit box: its text holds lines separated by "\n"; Lines reads and writes them
// one by one (a trailing empty line is not counted). Enter starts a new line (WantReturns),
// so it never reaches the form as a dialog key; Up and Down move between lines.
class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;

    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value); // copies the texts
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value) { FWordWrap = value; }
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value) { FScrollBars = value; }
    // The caret as column (X) and line (Y).
    TPoint CaretPos() const;

    static const TClassInfo& HostProperties();

protected:
    bool IsMultiLine() const override { return true; }
    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DefaultKeyPress(char& Key) override;
    void CreateParams(TCreateParams& Params) override;

private:
    std::unique_ptr<TStrings> FLines;
    bool FWantReturns = true;
    bool FWantTabs = false;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = ssNone;
};

class TMemo : public TCustomMemo {
    ORVEL_PUBLISHED(TMemo)
public:
    explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};

// --- Labels -------------------------------------------------------------------------------

// A caption without a window. Its accelerator (Alt with the marked character, or the form's
// DialogChar) focuses FocusControl. AutoSize makes it as large as its text.
class TCustomLabel : public TGraphicControl {
public:
    explicit TCustomLabel(TComponent* AOwner);
    ~TCustomLabel() override;

    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value) { FWordWrap = value; }

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;
    void Loaded() override;

    static const TClassInfo& HostProperties();

protected:
    void Paint() override;

private:
    void AdjustBounds();
    std::string DisplayText() const;

    TWinControl* FFocusControl = nullptr;
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FShowAccelChar = true;
    bool FTransparent = false;
    bool FWordWrap = false;
};

class TLabel : public TCustomLabel {
    ORVEL_PUBLISHED(TLabel)
public:
    explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

// --- Buttons and check boxes ----------------------------------------------------------------

class TButtonControl : public TCustomControl {
public:
    explicit TButtonControl(TComponent* AOwner);

protected:
    // While set, changes of state do not run Click.
    bool ClicksDisabled() const { return FClicksDisabled; }
    void SetClicksDisabled(bool value) { FClicksDisabled = value; }

private:
    bool FClicksDisabled = false;
};

// A push button. Clicking it (mouse, Space, Enter while it has the focus or is the default
// button, Escape when it is the cancel button, its accelerator, BM_CLICK) runs Click: the form
// takes the button's ModalResult (when not mrNone), then OnClick runs.
class TButton : public TButtonControl {
    ORVEL_PUBLISHED(TButton)
public:
    explicit TButton(TComponent* AOwner);

    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value) { FModalResult = value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }

    void Click() override;
    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    static const TClassInfo& HostProperties();

protected:
    void DefaultKeyPress(char& Key) override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    bool TakesDialogKey(uint16_t Key) const;

    TModalResult FModalResult = mrNone;
    bool FDefault = false;
    bool FCancel = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box. A click (mouse, Space, its accelerator, BM_CLICK) runs Toggle, which moves the
// state on: unchecked, checked, then grayed when AllowGrayed, then unchecked again. Every change
// of State, by the user or by a program (SetState, SetChecked), runs Click (OnClick) unless
// clicks are disabled; BM_SETCHECK (0, 1, 2) sets the state without a click, as a program
// painting a copy does.
class TCustomCheckBox : public TButtonControl {
public:
    explicit TCustomCheckBox(TComponent* AOwner);

    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState value);
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool value);
    // Where the caption stands beside the box: taRightJustify (right of it, the default) or
    // taLeftJustify.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);

    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    static const TClassInfo& HostProperties();

protected:
    virtual void Toggle();
    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DefaultMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DefaultKeyPress(char& Key) override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    TCheckBoxState FState = cbUnchecked;
    TAlignment FAlignment = taRightJustify;
    bool FAllowGrayed = false;
    bool FPressed = false; // a left press began on the box
};

class TCheckBox : public TCustomCheckBox {
    ORVEL_PUBLISHED(TCheckBox)
public:
    explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};

// A frame with a caption that holds other controls.
class TCustomGroupBox : public TCustomControl {
public:
    explicit TCustomGroupBox(TComponent* AOwner);
    static const TClassInfo& HostProperties();

protected:
    void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
    ORVEL_PUBLISHED(TGroupBox)
public:
    explicit TGroupBox(TComponent* AOwner) : TCustomGroupBox(AOwner) {}
};

// --- Entries of list controls ---------------------------------------------------------------

// What a list control hears of changes to its entries.
class TListItemsOwner {
public:
    virtual ~TListItemsOwner() = default;
    virtual void ItemInserted(int Index) = 0;
    virtual void ItemDeleted(int Index) = 0;
    virtual void ItemsCleared() = 0;
    virtual void ItemChanged(int Index) = 0; // its text or object was replaced
    // The entries moved (sorting, exchanging): OldToNew[i] is the new place of entry i.
    virtual void ItemsReordered(const std::vector<int>& OldToNew) = 0;
};

// The entries of a list box or combo box: texts with their object slots (codes are kept there
// by IntToObject) and a selection mark each. A sorted list keeps its entries in order of their
// texts without regard to case (equal texts in the order they came); inserting at a position
// in a sorted list raises EStringListError, and replacing a text moves the entry to its place.
class TListControlItems : public TStrings {
public:
    explicit TListControlItems(TListItemsOwner& Owner) : FOwner(Owner) {}

    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void InsertObject(int index, const std::string& s, TObject* object) override;
    int AddObject(const std::string& s, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    void Exchange(int a, int b) override;

    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;

private:
    struct TItem {
        std::string Text;
        TObject* Object = nullptr;
        bool Selected = false;
    };
    void CheckIndex(int index) const;
    int SortedPlace(const std::string& s) const;
    void InsertItem(int index, TItem item);

    TListItemsOwner& FOwner;
    std::vector<TItem> FItems;
    bool FSorted = false;
};

enum TOwnerDrawStateMember { odSelected, odGrayed, odDisabled, odChecked, odFocused };
using TOwnerDrawState = TSet<TOwnerDrawStateMember, 5>;
using TDrawItemEvent =
    TEvent<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = TEvent<void(TWinControl* Control, int Index, int& Height)>;

// --- List boxes -----------------------------------------------------------------------------

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

// A list of entries in rows of ItemHeight pixels, TopIndex the first shown. With one selection,
// ItemIndex is the selected entry; with MultiSelect each entry has its own mark and ItemIndex is
// the entry with the focus rectangle (-1 until one has it). The user's selections (a press or a
// drag over the rows, the arrow, page, Home and End keys, a typed first letter) run Click
// (OnClick); a program's (ItemIndex, Selected, LB_SETCURSEL, LB_SELECTSTRING) do not. With
// ExtendedSelect a click selects one entry, Ctrl+click toggles one and Shift+click a range;
// without it a click toggles. With IntegralHeight the height is cut to whole rows. A vertical
// scroll bar takes room when the entries do not fit.
class TCustomListBox : public TCustomControl, private TListItemsOwner {
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;

    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value); // copies texts and objects
    int ItemIndex() const;
    void SetItemIndex(int value); // -1 or an entry; anything else raises EListError
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    bool ExtendedSelect() const { return FExtendedSelect; }
    void SetExtendedSelect(bool value) { FExtendedSelect = value; }
    bool Selected(int Index) const;
    void SetSelected(int Index, bool value);
    int SelCount() const;
    void ClearSelection();
    void SelectAll();
    bool Sorted() const;
    void SetSorted(bool value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle value);

    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value); // at least 1
    bool IntegralHeight() const { return FIntegralHeight; }
    void SetIntegralHeight(bool value);
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int value); // kept between 0 and the last index that still fills the rows
    // Rows: the entries, a page of the rows in view, the position TopIndex.
    TScrollBarState ScrollBarState(TScrollBarKind Kind) const override;
    // Rows that fit in the client area completely.
    int VisibleRowCount() const;
    // The entry whose row holds Pos (client coordinates); -1 outside the entries, or with
    // Existing false, Count for a point below the last entry.
    int ItemAtPos(const TPoint& Pos, bool Existing) const;
    // The row of an entry, wherever it is scrolled to.
    TRect ItemRect(int Index) const;
    // Whether the list draws itself as having the focus (WM_SETFOCUS reached its window; a
    // pop-up list may be told so without taking the keyboard focus).
    bool ShowsFocus() const { return FShowsFocus; }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    static const TClassInfo& HostProperties();

protected:
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);
    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DefaultKeyPress(char& Key) override;
    void CreateParams(TCreateParams& Params) override;
    bool VertScrollBarVisible() const override;
    void Paint() override;

private:
    void ItemInserted(int Index) override;
    void ItemDeleted(int Index) override;
    void ItemsCleared() override;
    void ItemChanged(int Index) override;
    void ItemsReordered(const std::vector<int>& OldToNew) override;

    void SelectByUser(int Index, TShiftState Shift, bool Toggle);
    void SelectOnly(int Index);
    void MakeVisible(int Index);
    int MaxTopIndex() const;
    int InnerHeight() const;
    int FindPrefix(const std::string& Prefix, int After) const;
    void ApplyIntegralHeight();

    std::unique_ptr<TListControlItems> FItems;
    int FItemIndex = -1; // the selected entry, or with MultiSelect the focused one
    int FAnchor = -1;    // where a Shift+click range starts
    int FTopIndex = 0;
    int FItemHeight = 16;
    TListBoxStyle FStyle = lbStandard;
    bool FMultiSelect = false;
    bool FExtendedSelect = true;
    bool FIntegralHeight = false;
    bool FShowsFocus = false;
};

class TListBox : public TCustomListBox {
    ORVEL_PUBLISHED(TListBox)
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};

// --- Combo boxes --------------------------------------------------------------------------

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox;

// The edit box of a combo box: a child window whose messages pass through the combo's
// ComboWndProc.
class TComboBoxEdit : public TCustomEdit {
public:
    TComboBoxEdit(TCustomComboBox& Combo);
    void WndProc(TMessage& Message) override;
    // The edit box's own handling of a message (what ComboWndProc passes on).
    void EditWndProc(TMessage& Message) { TCustomEdit::WndProc(Message); }

protected:
    void Change() override;
    bool TakesFocusOnClick() const override { return false; }

private:
    TCustomComboBox& FCombo;
};

// The list of a combo box: a child window inside the combo (csSimple) or a detached pop-up
// shown below it while dropped down. It shows the combo's entries with its ItemIndex marked.
class TComboBoxList : public TCustomControl {
public:
    TComboBoxList(TCustomComboBox& Combo);
    void WndProc(TMessage& Message) override;
    void ListWndProc(TMessage& Message) { TCustomControl::WndProc(Message); }

    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int value);
    int ItemAtPos(const TPoint& Pos) const; // -1 over no entry
    TRect ItemRect(int Index) const;
    int VisibleRowCount() const;
    void MakeVisible(int Index);
    TScrollBarState ScrollBarState(TScrollBarKind Kind) const override;

protected:
    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DefaultMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    bool TakesFocusOnClick() const override { return false; }
    bool VertScrollBarVisible() const override;
    void Paint() override;

private:
    TCustomComboBox& FCombo;
    int FTopIndex = 0;
};

// A combo box: an edit box (csDropDown, csSimple) or a selected entry (csDropDownList and the
// owner-draw styles) with a list of entries, always shown below it (csSimple) or dropped down
// below it (the others; above it when the screen ends first) from the button at its right edge,
// F4, or Alt+Down.
//
// Notifications. The combo tells itself what the user did by sending WM_COMMAND to its own
// window, the code in the high word of WParam and its handle in LParam; its WndProc answers
// CBN_SELCHANGE with Click and Change, CBN_EDITCHANGE with Change, CBN_DROPDOWN with DropDown
// and CBN_CLOSEUP with CloseUp. A descendant that swallows the message stops the reaction, but
// what the user did has already happened (the selection moved), as with a native combo box.
//
// Selection and text. A user's selection (a click in the list, Up, Down, page keys, a typed
// first letter in the styles without edit box) moves ItemIndex, shows the entry's text and
// notifies CBN_SELCHANGE. Typing in the edit box notifies CBN_EDITCHANGE and leaves no entry
// selected: the typed text is only text. A program's ItemIndex shows the entry's text (none: the
// empty text); a program's Text selects the first entry with exactly that text (the styles
// without edit box show nothing when there is none). Neither notifies. CB_SHOWDROPDOWN opens
// (WParam non-zero; CBN_DROPDOWN first) or closes (CBN_CLOSEUP after) the list; a click
// elsewhere (CM_CANCELMODE) or the loss of the focus closes it.
//
// Keys reach the combo (its children never take the focus): KeyDown and KeyPress run first,
// then the combo's own handling, which passes editing keys and typed characters to the edit box.
class TCustomComboBox : public TCustomControl, private TListItemsOwner {
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    TComboBoxStyle Style() const { return FStyle; }
    // Changing between styles with and without an edit box makes the window again.
    virtual void SetStyle(TComboBoxStyle Value);
    bool IsEditStyle() const { return FStyle == csDropDown || FStyle == csSimple; }
    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value); // copies texts and objects
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int value); // an index outside the entries selects none
    bool Sorted() const;
    void SetSorted(bool value);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value) { FDropDownCount = value < 1 ? 1 : value; }
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int value);
    int MaxLength() const;
    void SetMaxLength(int value);
    bool DroppedDown() const { return FDroppedDown; }
    void SetDroppedDown(bool value); // sends CB_SHOWDROPDOWN

    // The edit box's selection (nothing for the styles without edit box).
    int SelStart() const;
    void SetSelStart(int value);
    int SelLength() const;
    void SetSelLength(int value);
    std::string SelText() const;
    void SelectAll();

    // The child windows: 0 while they have none (no edit box in the styles without one).
    HWND EditHandle() const;
    HWND ListHandle() const;
    TCustomEdit* EditBox() const; // none in the styles without edit box
    TComboBoxList* ListBox() const { return FList.get(); }
    // The drop-down button at the right edge, SM_CXVSCROLL wide (empty for csSimple).
    TRect ButtonRect() const;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

    static const TClassInfo& HostProperties();

protected:
    friend class TComboBoxEdit;
    friend class TComboBoxList;

    // The messages of the child windows (ComboWnd: the edit box's or the list's handle) before
    // they reach the child; the base version lets a press on a child give the combo the focus,
    // then hands the message to the child.
    virtual void ComboWndProc(TMessage& Message, HWND ComboWnd);
    virtual void Change();   // OnChange
    virtual void DropDown(); // OnDropDown
    virtual void CloseUp();  // OnCloseUp
    virtual void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State);

    void CreateWnd() override;
    void CreateParams(TCreateParams& Params) override;
    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DefaultKeyPress(char& Key) override;
    void Paint() override;

private:
    void ItemInserted(int Index) override;
    void ItemDeleted(int Index) override;
    void ItemsCleared() override;
    void ItemChanged(int Index) override;
    void ItemsReordered(const std::vector<int>& OldToNew) override;

    void Notify(unsigned Code);
    void CommandNotified(unsigned Code);
    void BuildChildren();
    void LayoutChildren();
    void ShowList();
    void HideList();
    void SelectByUser(int Index);
    void ShowSelection();
    void ApplyText(const std::string& Value);
    void SyncText(const std::string& Value);
    void EditTextChanged();
    void ListItemChosen(int Index);
    int FindPrefix(const std::string& Prefix, int After) const;
    int FindExact(const std::string& Value) const;
    int EditHeight() const;

    std::unique_ptr<TListControlItems> FItems;
    TOwned<TComboBoxEdit> FEdit;
    TOwned<TComboBoxList> FList;
    TComboBoxStyle FStyle = csDropDown;
    int FItemIndex = -1;
    int FDropDownCount = 8;
    int FItemHeight = 16;
    int FMaxLength = 0;
    bool FDroppedDown = false;
    bool FSyncing = false;
    bool FChildrenGone = false;
};

class TComboBox : public TCustomComboBox {
    ORVEL_PUBLISHED(TComboBox)
public:
    explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

} // namespace orvel
