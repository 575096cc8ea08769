// The extended grid: a string grid with one values column. While the current cell lies in that
// column, the in-place editor shows a drop-down button at its right edge; the button, Alt+Down or
// Alt+Up opens a pick list filled from the grid's ValuesList, and choosing an entry writes its
// text into the cell and reports the entry's index through OnSelectValue. The pick list is a
// pop-up window that never takes the focus: the editor keeps the keyboard and forwards keys to
// it, and typing searches the list by prefix.
#pragma once

#include "orvel/host/controls/Grids.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/TypInfo.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvel {

class TExtendedGrid;
class TExtGridInplaceEdit;

using TSelectValueEvent = TEvent<void(TObject* ASender, int ACol, int ARow, int AValueIndex)>;

// How the in-place editor shows its cell: a plain edit box, or a read-only box with a drop-down
// button and a pick list.
enum TEditStyle { esSimple, esPickList };

// The drop-down list of the in-place editor: a pop-up tool window with incremental search.
class TPopupListbox : public TCustomListBox {
public:
    explicit TPopupListbox(TComponent* AOwner);

    // The typed prefix (at most MaxSearchLength characters) and when its last key came.
    const std::string& SearchText() const { return FSearchText; }
    static constexpr std::size_t MaxSearchLength = 32;
    // A pause longer than this (milliseconds) starts a new prefix.
    static constexpr uint32_t SearchPause = 2000;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void KeyPress(char& Key) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    std::string FSearchText;
    uint32_t FSearchTickCount = 0;
};

class TExtGridInplaceEdit : public TInplaceEdit {
public:
    explicit TExtGridInplaceEdit(TComponent* AOwner);
    ~TExtGridInplaceEdit() override;

    TEditStyle EditStyle() const { return FEditStyle; }
    bool ListVisible() const { return FListVisible; }
    // The pick list, once made (the editor owns it).
    TPopupListbox* PickList() const { return FPickList; }
    int ButtonWidth() const { return FButtonWidth; }
    // The drop-down button: the right ButtonWidth pixels over the editor's height.
    TRect ButtonRect() const;
    bool ButtonPressed() const { return FPressed; }

    void ShowPickList();
    // Closes the list; with Accept, the highlighted entry goes into the cell.
    void ClosePickList(bool Accept);

    void WndProc(TMessage& Message) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void PaintWindow(HDC DC) override;
    void BoundsChanged() override;
    void UpdateContents() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TExtendedGrid* ExtGrid() const;
    void HandleListKeys(uint16_t& Key, TShiftState Shift);
    void ApplyEditStyle(TEditStyle Value);
    void UpdateButtonPressed(int X, int Y);
    void EndButtonTracking();
    void PickListMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    bool InButton(int X, int Y) const;

    int FButtonWidth;
    TPopupListbox* FPickList = nullptr;    // owned through the component owner list
    TCustomListBox* FActiveList = nullptr; // the list that opens: the pick list, or none
    TEditStyle FEditStyle = esSimple;
    bool FListVisible = false;
    bool FTracking = false;
    bool FPressed = false;
};

class TExtendedGrid : public TStringGrid {
    ORVEL_PUBLISHED(TExtendedGrid)
public:
    explicit TExtendedGrid(TComponent* AOwner);
    ~TExtendedGrid() override;

    // The pick-list values, made on first use (never none).
    TStrings* GetValuesList() const;
    // Copies the values; none frees the list.
    void SetValuesList(TStrings* Value);
    // The values column, -1 for none. Values outside 0..ColCount-1 are ignored.
    int GetValuesColumn() const { return FValuesColumn; }
    void SetValColumn(int Value);
    // The most rows the open list shows.
    int GetDropDownRows() const { return FDropDownRows; }
    void SetDropDownRows(int Value) { FDropDownRows = Value; }
    // A read-only grid offers no pick list and its editor takes no typing.
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    // cbsAuto while the current cell lies in the values column, else cbsNone.
    TColumnButtonStyle GetButtonStyle() const;

    // An entry of the pick list was chosen for a cell: OnSelectValue, then the entry's text (as
    // ValuesList holds it after the handler) goes through SetEditText.
    virtual void SelectValue(int ACol, int ARow, int AValueIndex);
    void EditButtonClick();
    // Puts the in-place editor's caret at the end of its text; nothing without an editor.
    void ClearSelection();

    TSelectValueEvent GetOnSelectValue() const { return FOnSelectValue; }
    void SetOnSelectValue(TSelectValueEvent Value) { FOnSelectValue = std::move(Value); }
    TNotifyEvent OnEditButtonClick;

protected:
    TInplaceEdit* CreateEditor() override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;

private:
    mutable std::unique_ptr<TStringList> FValuesList;
    int FDropDownRows = 5;
    bool FReadOnly = false;
    int FValuesColumn = -1;
    TSelectValueEvent FOnSelectValue;
};

} // namespace orvel
