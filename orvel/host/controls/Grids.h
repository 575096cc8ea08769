// Grids: rows and columns of cells in pixels (fixed rows and columns first, then the scrolled
// ones), a current cell moved by keys and clicks, and an in-place editor that edits the current
// cell. TStringGrid keeps a text (and an object slot) per cell. The editor is a real child
// window of the grid, made by CreateEditor when it is first needed; descendants replace it (an
// editor with a drop-down button) and hook into its life: UpdateContents when it is placed on a
// cell, BoundsChanged when it has its new bounds, EditCanModify before it changes the cell.
#pragma once

#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Sets.h"

#include <string>
#include <vector>

namespace orvel {

enum TGridOption {
    goFixedVertLine,
    goFixedHorzLine,
    goVertLine,
    goHorzLine,
    goRangeSelect,
    goDrawFocusSelected,
    goRowSizing,
    goColSizing,
    goRowMoving,
    goColMoving,
    goEditing,
    goTabs,
    goRowSelect,
    goAlwaysShowEditor,
    goThumbTracking
};
using TGridOptions = TSet<TGridOption, 15>;

enum TGridDrawStateMember { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateMember, 3>;

struct TGridCoord {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

// The button a column's editor shows: a drop-down arrow (cbsAuto), an ellipsis or none.
enum TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };

using TSelectCellEvent = TEvent<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TDrawCellEvent =
    TEvent<void(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;
using TGetEditEvent = TEvent<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent = TEvent<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;

class TCustomGrid;

// The editor a grid lays over its current cell. Its text goes into the cell (the grid's
// SetEditText) with every change the user makes. Up, Down, the page keys, Tab, Enter, Escape
// and F2 belong to the grid: the editor passes them on (the grid's KeyDown, then its own
// handling). Typing is refused while EditCanModify answers false.
class TInplaceEdit : public TCustomEdit {
public:
    // An editor owned by a grid edits that grid.
    explicit TInplaceEdit(TComponent* AOwner);
    ~TInplaceEdit() override;

    TCustomGrid* Grid() const { return FGrid; }
    void SetGrid(TCustomGrid* Value);
    // Places the editor over a cell rectangle of its grid (its parent's client coordinates):
    // the bounds, then BoundsChanged.
    void Move(const TRect& Loc);
    // Puts the caret at the end of the text, without a selection.
    void Deselect();

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    friend class TCustomGrid;

    // The editor shows its cell: read-only or not, it keeps the cell's colour.
    bool ShowsReadOnlyFace() const override { return false; }
    // The editor is placed on a cell: it takes the cell's text (the grid's GetEditText) and
    // length limit (GetEditLimit). The grid calls it every time it moves the editor to a cell.
    virtual void UpdateContents();
    // The editor has its new bounds: the formatting rectangle (2, 2, Width - 2, Height) is set
    // with EM_SETRECTNP, then EM_SCROLLCARET.
    virtual void BoundsChanged();
    // Whether the editor may change the cell: the grid's CanEditModify.
    virtual bool EditCanModify();

    void Change() override;
    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DefaultKeyPress(char& Key) override;
    bool TakesFocusOnClick() const override { return true; }

private:
    TCustomGrid* FGrid = nullptr;
    bool FLoading = false; // the grid is loading the cell's text
};

// A grid of cells. Options decide the lines, whether cells can be edited (goEditing), whether
// the editor shows all the time (goAlwaysShowEditor), whether Tab moves between cells (goTabs).
// The current cell (Col, Row) never lies in the fixed rows or columns; moving it asks
// SelectCell. The editor shows on F2, Enter, a typed character, a click on the current cell or
// a double click (with goEditing); Enter hides it again, Escape puts back the text the cell had
// when the editor came and hides it (both unless goAlwaysShowEditor); moving the current cell
// moves the editor along with goAlwaysShowEditor, else hides it.
class TCustomGrid : public TCustomControl {
public:
    explicit TCustomGrid(TComponent* AOwner);
    ~TCustomGrid() override;

    int ColCount() const { return FColCount; }
    void SetColCount(int value); // at least 1; the fixed columns shrink to fit
    int RowCount() const { return FRowCount; }
    void SetRowCount(int value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int value); // 0..ColCount-1, else EInvalidOperation
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int value);
    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int value); // every column takes it
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int value);
    int ColWidths(int Index) const;
    void SetColWidths(int Index, int value);
    int RowHeights(int Index) const;
    void SetRowHeights(int Index, int value);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int value);
    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions value);
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);

    // The current cell. Setting a cell outside the scrolled part raises EInvalidOperation;
    // SelectCell may refuse the move.
    int Col() const { return FCol; }
    void SetCol(int value);
    int Row() const { return FRow; }
    void SetRow(int value);
    void FocusCell(int ACol, int ARow);
    TGridRect Selection() const { return {FCol, FRow, FCol, FRow}; }

    // Scrolling: the first scrolled column and row shown.
    int LeftCol() const { return FLeftCol; }
    void SetLeftCol(int value);
    int TopRow() const { return FTopRow; }
    void SetTopRow(int value);
    // Scrolled columns and rows that fit completely (at least 1 while there are any).
    int VisibleColCount() const;
    int VisibleRowCount() const;
    // Scrollable columns (rows): the range over the columns after the fixed ones, a page of the
    // columns in view, the position LeftCol (TopRow).
    TScrollBarState ScrollBarState(TScrollBarKind Kind) const override;

    // A cell's rectangle in client coordinates without its grid lines; empty for a cell that is
    // scrolled out of view or lies beyond the client area.
    TRect CellRect(int ACol, int ARow) const;
    // The cell under a client point (its lines included); -1 beyond the cells.
    void MouseToCell(int X, int Y, int& ACol, int& ARow) const;
    TGridCoord MouseCoord(int X, int Y) const;

    bool EditorMode() const { return FEditorMode; }
    void SetEditorMode(bool value);
    void ShowEditor();
    void HideEditor();
    // The editor, once made (none before the first ShowEditor).
    TInplaceEdit* InplaceEditor() const { return FInplaceEdit; }
    void InvalidateCell(int ACol, int ARow);

    uint64_t OptionsMask() const { return FOptions.Mask(); }
    void SetOptionsMask(uint64_t value) { SetOptions(TGridOptions::FromMask(value)); }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    static const TClassInfo& HostProperties();

protected:
    friend class TInplaceEdit;

    // Makes the editor (owned by the grid); called once, when the editor is first needed.
    virtual TInplaceEdit* CreateEditor();
    virtual bool CanEditAcceptKey(char Key);
    virtual bool CanEditModify(); // goEditing
    virtual bool CanEditShow();   // goEditing without goRowSelect, on a scrolled cell
    virtual std::string GetEditText(int ACol, int ARow);
    virtual void SetEditText(int ACol, int ARow, const std::string& Value);
    virtual int GetEditLimit(); // 0: no limit
    virtual bool SelectCell(int ACol, int ARow);
    virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
    virtual void SizeChanged(int OldColCount, int OldRowCount);

    // The editor's text goes into the cell it edits.
    void UpdateText();
    // A cell's text changed: an editor showing that cell takes it (unless it is what the editor
    // shows already).
    void CellTextChanged(int ACol, int ARow);

    void DefaultKeyDown(uint16_t& Key, TShiftState Shift) override;
    void DefaultKeyPress(char& Key) override;
    void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                          bool DoubleClick) override;
    void DoEnter() override;
    void CreateParams(TCreateParams& Params) override;
    bool VertScrollBarVisible() const override;
    bool HorzScrollBarVisible() const override;
    void Paint() override;

private:
    void MoveCurrent(int ACol, int ARow);
    void PlaceEditor();
    void FollowWithEditor();
    void ScrollInView(int ACol, int ARow);
    void EditorKeyDown(uint16_t& Key, TShiftState Shift);
    void CancelEdit();
    void CheckCell(int ACol, int ARow) const;
    int ColLine(int ACol) const;
    int RowLine(int ARow) const;
    int ColLeft(int ACol) const; // -1 when scrolled out
    int RowTop(int ARow) const;
    int TotalWidth() const;
    int TotalHeight() const;
    // Painting (GridsPaint.cpp): the lines after a cell, and a fixed cell's raised edge.
    void PaintCellLines(TCanvas& canvas, int ACol, int ARow, const TRect& cell, bool fixed);
    static void PaintFixedCellEdge(TCanvas& canvas, const TRect& cell);

    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;
    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FGridLineWidth = 1;
    TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    TColor FFixedColor = clBtnFace;
    TScrollStyle FScrollBars = ssBoth;
    int FCol = 1;
    int FRow = 1;
    int FLeftCol = 1;
    int FTopRow = 1;
    TInplaceEdit* FInplaceEdit = nullptr;
    int FInplaceCol = -1;
    int FInplaceRow = -1;
    bool FEditorMode = false;
    std::string FEditStartText; // the cell's text when the editor came to it
};

// A grid whose cells are drawn and edited through events.
class TCustomDrawGrid : public TCustomGrid {
public:
    explicit TCustomDrawGrid(TComponent* AOwner) : TCustomGrid(AOwner) {}

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TGetEditEvent OnGetEditText;
    TSetEditEvent OnSetEditText;

    static const TClassInfo& HostProperties();

protected:
    std::string GetEditText(int ACol, int ARow) override;                    // OnGetEditText
    void SetEditText(int ACol, int ARow, const std::string& Value) override; // OnSetEditText
    bool SelectCell(int ACol, int ARow) override;                            // OnSelectCell
    void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
};

class TDrawGrid : public TCustomDrawGrid {
    ORVEL_PUBLISHED(TDrawGrid)
public:
    explicit TDrawGrid(TComponent* AOwner) : TCustomDrawGrid(AOwner) {}
};

// A grid with a text and an object slot per cell. The editor edits the cell texts: the cell
// takes every change (SetEditText), then OnSetEditText runs. Cell indexes outside the grid
// raise EInvalidOperation.
class TStringGrid : public TCustomDrawGrid {
    ORVEL_PUBLISHED(TStringGrid)
public:
    explicit TStringGrid(TComponent* AOwner);
    ~TStringGrid() override;

    std::string Cells(int ACol, int ARow) const;
    void SetCells(int ACol, int ARow, const std::string& Value);
    TObject* Objects(int ACol, int ARow) const;
    void SetObjects(int ACol, int ARow, TObject* Value);

protected:
    std::string GetEditText(int ACol, int ARow) override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;
    void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
    void SizeChanged(int OldColCount, int OldRowCount) override;

private:
    struct TCell {
        std::string Text;
        TObject* Object = nullptr;
    };
    TCell& CellAt(int ACol, int ARow);
    const TCell& CellAt(int ACol, int ARow) const;

    std::vector<TCell> FCells; // row by row, ColCount per row
};

} // namespace orvel
