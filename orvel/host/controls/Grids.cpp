// Grids and their in-place editor: geometry, the current cell, scrolling, the editor's life,
// keys and clicks, painting, and the string grid's cells.
#include "orvel/host/controls/Grids.h"

#include "orvel/host/controls/ControlPaint.h"

#include "orvel/host/core/Exceptions.h"

#include <algorithm>

namespace orvel {

namespace {

[[noreturn]] void GridIndexError() {
    throw EInvalidOperation("Grid index out of range");
}

} // namespace

// --- TInplaceEdit -----------------------------------------------------------------------------

TInplaceEdit::TInplaceEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
    SetVisible(false);
    SetTabStop(false);
    SetBorderStyle(bsNone);
    SetAutoSelect(false);
    if (auto* grid = dynamic_cast<TCustomGrid*>(AOwner)) SetGrid(grid);
}

TInplaceEdit::~TInplaceEdit() = default;

void TInplaceEdit::SetGrid(TCustomGrid* Value) {
    if (Value == FGrid) return;
    if (FGrid && FGrid != Owner()) RemoveFreeNotification(FGrid);
    FGrid = Value;
    if (Value && Value != Owner()) FreeNotification(Value);
}

void TInplaceEdit::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomEdit::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FGrid) FGrid = nullptr;
}

void TInplaceEdit::Move(const TRect& Loc) {
    SetBounds(Loc.Left, Loc.Top, Loc.Width(), Loc.Height());
    BoundsChanged();
}

void TInplaceEdit::Deselect() {
    SetSelStart(TextLength());
}

void TInplaceEdit::UpdateContents() {
    if (!FGrid) return;
    FLoading = true;
    try {
        SetMaxLength(FGrid->GetEditLimit());
        SetText(FGrid->GetEditText(FGrid->Col(), FGrid->Row()));
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
}

void TInplaceEdit::BoundsChanged() {
    TRect r{2, 2, Width() - 2, Height()};
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
    Perform(EM_SCROLLCARET, 0, 0);
}

bool TInplaceEdit::EditCanModify() {
    return FGrid && FGrid->CanEditModify();
}

void TInplaceEdit::Change() {
    TCustomEdit::Change();
    if (FGrid && !FLoading && ChangingByUser()) FGrid->UpdateText();
}

void TInplaceEdit::DefaultKeyDown(uint16_t& Key, TShiftState Shift) {
    switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_F2:
        break;
    case VK_TAB:
        if (Shift.Contains(ssAlt)) return;
        break;
    case VK_DELETE:
        if (!EditCanModify()) {
            Key = 0;
            return;
        }
        TCustomEdit::DefaultKeyDown(Key, Shift);
        return;
    default:
        TCustomEdit::DefaultKeyDown(Key, Shift);
        return;
    }
    // The grid's keys.
    if (FGrid) FGrid->EditorKeyDown(Key, Shift);
    Key = 0;
}

void TInplaceEdit::DefaultKeyPress(char& Key) {
    if (FGrid && !FGrid->CanEditAcceptKey(Key)) Key = 0;
    if (Key == '\r' || Key == 27 || Key == '\t') Key = 0;
    bool edits = Key == 8 || Key == 22 || Key == 24 || static_cast<unsigned char>(Key) >= 32;
    if (edits && !EditCanModify()) Key = 0;
    if (Key == 0) return;
    TCustomEdit::DefaultKeyPress(Key);
}

// --- TCustomGrid: geometry --------------------------------------------------------------------

TCustomGrid::TCustomGrid(TComponent* AOwner)
    : TCustomControl(AOwner), FColWidths(5, 64), FRowHeights(5, 24) {
    SetTabStop(true);
    SetBorderStyle(bsSingle);
    SetBounds(0, 0, 320, 120);
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FInplaceEdit) {
        FInplaceEdit = nullptr;
        FEditorMode = false;
        FInplaceCol = FInplaceRow = -1;
    }
}

void TCustomGrid::SetColCount(int value) {
    value = std::max(1, value);
    if (value == FColCount) return;
    int old = FColCount;
    FColCount = value;
    FColWidths.resize(static_cast<std::size_t>(value), FDefaultColWidth);
    if (FFixedCols >= value) FFixedCols = value - 1;
    SizeChanged(old, FRowCount);
    FCol = std::clamp(FCol, FFixedCols, value - 1);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, value - 1);
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetRowCount(int value) {
    value = std::max(1, value);
    if (value == FRowCount) return;
    int old = FRowCount;
    FRowCount = value;
    FRowHeights.resize(static_cast<std::size_t>(value), FDefaultRowHeight);
    if (FFixedRows >= value) FFixedRows = value - 1;
    SizeChanged(FColCount, old);
    FRow = std::clamp(FRow, FFixedRows, value - 1);
    FTopRow = std::clamp(FTopRow, FFixedRows, value - 1);
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetFixedCols(int value) {
    if (value < 0 || value >= FColCount)
        throw EInvalidOperation("Fixed column count must be less than column count");
    FFixedCols = value;
    FCol = std::max(FCol, value);
    FLeftCol = std::max(FLeftCol, value);
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetFixedRows(int value) {
    if (value < 0 || value >= FRowCount)
        throw EInvalidOperation("Fixed row count must be less than row count");
    FFixedRows = value;
    FRow = std::max(FRow, value);
    FTopRow = std::max(FTopRow, value);
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int value) {
    FDefaultColWidth = std::max(0, value);
    std::fill(FColWidths.begin(), FColWidths.end(), FDefaultColWidth);
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int value) {
    FDefaultRowHeight = std::max(0, value);
    std::fill(FRowHeights.begin(), FRowHeights.end(), FDefaultRowHeight);
    FollowWithEditor();
    Invalidate();
}

int TCustomGrid::ColWidths(int Index) const {
    if (Index < 0 || Index >= FColCount) GridIndexError();
    return FColWidths[static_cast<std::size_t>(Index)];
}

void TCustomGrid::SetColWidths(int Index, int value) {
    if (Index < 0 || Index >= FColCount) GridIndexError();
    FColWidths[static_cast<std::size_t>(Index)] = std::max(0, value);
    FollowWithEditor();
    Invalidate();
}

int TCustomGrid::RowHeights(int Index) const {
    if (Index < 0 || Index >= FRowCount) GridIndexError();
    return FRowHeights[static_cast<std::size_t>(Index)];
}

void TCustomGrid::SetRowHeights(int Index, int value) {
    if (Index < 0 || Index >= FRowCount) GridIndexError();
    FRowHeights[static_cast<std::size_t>(Index)] = std::max(0, value);
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetGridLineWidth(int value) {
    FGridLineWidth = std::max(0, value);
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions value) {
    if (value == FOptions) return;
    FOptions = value;
    if (FEditorMode && !CanEditShow()) HideEditor();
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetFixedColor(TColor value) {
    FFixedColor = value;
    Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle value) {
    FScrollBars = value;
    FollowWithEditor();
    Invalidate();
}

int TCustomGrid::ColLine(int ACol) const {
    return FOptions.Contains(ACol < FFixedCols ? goFixedVertLine : goVertLine) ? FGridLineWidth : 0;
}

int TCustomGrid::RowLine(int ARow) const {
    return FOptions.Contains(ARow < FFixedRows ? goFixedHorzLine : goHorzLine) ? FGridLineWidth : 0;
}

int TCustomGrid::ColLeft(int ACol) const {
    if (ACol < 0 || ACol >= FColCount || (ACol >= FFixedCols && ACol < FLeftCol)) return -1;
    int x = 0;
    for (int c = 0; c < ACol; ++c)
        if (c < FFixedCols || c >= FLeftCol)
            x += FColWidths[static_cast<std::size_t>(c)] + ColLine(c);
    return x;
}

int TCustomGrid::RowTop(int ARow) const {
    if (ARow < 0 || ARow >= FRowCount || (ARow >= FFixedRows && ARow < FTopRow)) return -1;
    int y = 0;
    for (int r = 0; r < ARow; ++r)
        if (r < FFixedRows || r >= FTopRow)
            y += FRowHeights[static_cast<std::size_t>(r)] + RowLine(r);
    return y;
}

int TCustomGrid::TotalWidth() const {
    int w = 0;
    for (int c = 0; c < FColCount; ++c)
        w += FColWidths[static_cast<std::size_t>(c)] + ColLine(c);
    return w;
}

int TCustomGrid::TotalHeight() const {
    int h = 0;
    for (int r = 0; r < FRowCount; ++r)
        h += FRowHeights[static_cast<std::size_t>(r)] + RowLine(r);
    return h;
}

bool TCustomGrid::VertScrollBarVisible() const {
    return (FScrollBars == ssVertical || FScrollBars == ssBoth) &&
           TotalHeight() > Height() - 2 * BorderWidth();
}

bool TCustomGrid::HorzScrollBarVisible() const {
    return (FScrollBars == ssHorizontal || FScrollBars == ssBoth) &&
           TotalWidth() > Width() - 2 * BorderWidth();
}

TRect TCustomGrid::CellRect(int ACol, int ARow) const {
    int x = ColLeft(ACol), y = RowTop(ARow);
    TRect client = ClientRect();
    if (x < 0 || y < 0 || x >= client.Right || y >= client.Bottom) return TRect{};
    return Bounds(x, y, FColWidths[static_cast<std::size_t>(ACol)],
                  FRowHeights[static_cast<std::size_t>(ARow)]);
}

void TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const {
    ACol = ARow = -1;
    if (!ClientRect().Contains({X, Y})) return;
    for (int c = 0; c < FColCount; ++c) {
        int left = ColLeft(c);
        if (left < 0) continue;
        if (X >= left && X < left + FColWidths[static_cast<std::size_t>(c)] + ColLine(c)) {
            ACol = c;
            break;
        }
    }
    for (int r = 0; r < FRowCount; ++r) {
        int top = RowTop(r);
        if (top < 0) continue;
        if (Y >= top && Y < top + FRowHeights[static_cast<std::size_t>(r)] + RowLine(r)) {
            ARow = r;
            break;
        }
    }
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const {
    TGridCoord coord;
    MouseToCell(X, Y, coord.X, coord.Y);
    return coord;
}

TScrollBarState TCustomGrid::ScrollBarState(TScrollBarKind Kind) const {
    TScrollBarState state = TCustomControl::ScrollBarState(Kind);
    bool vertical = Kind == sbVertical;
    state.Min = vertical ? FFixedRows : FFixedCols;
    state.Max = (vertical ? FRowCount : FColCount) - 1;
    state.Page = std::max(1, vertical ? VisibleRowCount() : VisibleColCount());
    state.Position = vertical ? FTopRow : FLeftCol;
    return state;
}

int TCustomGrid::VisibleColCount() const {
    int width = ClientWidth();
    int x = ColLeft(FLeftCol);
    if (x < 0) return 0;
    int count = 0;
    for (int c = FLeftCol; c < FColCount; ++c) {
        x += FColWidths[static_cast<std::size_t>(c)];
        if (x > width) break;
        x += ColLine(c);
        ++count;
    }
    return std::max(count, FColCount > FFixedCols ? 1 : 0);
}

int TCustomGrid::VisibleRowCount() const {
    int height = ClientHeight();
    int y = RowTop(FTopRow);
    if (y < 0) return 0;
    int count = 0;
    for (int r = FTopRow; r < FRowCount; ++r) {
        y += FRowHeights[static_cast<std::size_t>(r)];
        if (y > height) break;
        y += RowLine(r);
        ++count;
    }
    return std::max(count, FRowCount > FFixedRows ? 1 : 0);
}

void TCustomGrid::SetLeftCol(int value) {
    value = std::clamp(value, FFixedCols, FColCount - 1);
    if (value == FLeftCol) return;
    FLeftCol = value;
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::SetTopRow(int value) {
    value = std::clamp(value, FFixedRows, FRowCount - 1);
    if (value == FTopRow) return;
    FTopRow = value;
    FollowWithEditor();
    Invalidate();
}

void TCustomGrid::ScrollInView(int ACol, int ARow) {
    if (ACol >= FFixedCols) {
        if (ACol < FLeftCol) SetLeftCol(ACol);
        while (ACol >= FLeftCol + VisibleColCount() && FLeftCol < ACol)
            SetLeftCol(FLeftCol + 1);
    }
    if (ARow >= FFixedRows) {
        if (ARow < FTopRow) SetTopRow(ARow);
        while (ARow >= FTopRow + VisibleRowCount() && FTopRow < ARow)
            SetTopRow(FTopRow + 1);
    }
}

void TCustomGrid::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    FollowWithEditor();
}

void TCustomGrid::InvalidateCell(int, int) {
    Invalidate();
}

// --- TCustomGrid: the current cell ------------------------------------------------------------

void TCustomGrid::CheckCell(int ACol, int ARow) const {
    if (ACol < FFixedCols || ACol >= FColCount || ARow < FFixedRows || ARow >= FRowCount)
        GridIndexError();
}

void TCustomGrid::SetCol(int value) {
    FocusCell(value, FRow);
}

void TCustomGrid::SetRow(int value) {
    FocusCell(FCol, value);
}

void TCustomGrid::FocusCell(int ACol, int ARow) {
    CheckCell(ACol, ARow);
    MoveCurrent(ACol, ARow);
}

// Moves the current cell (SelectCell may refuse); the editor follows or hides.
void TCustomGrid::MoveCurrent(int ACol, int ARow) {
    ACol = std::clamp(ACol, FFixedCols, FColCount - 1);
    ARow = std::clamp(ARow, FFixedRows, FRowCount - 1);
    if (ACol == FCol && ARow == FRow) {
        ScrollInView(ACol, ARow);
        return;
    }
    if (!SelectCell(ACol, ARow)) return;
    FCol = ACol;
    FRow = ARow;
    ScrollInView(ACol, ARow);
    Invalidate();
    if (!FEditorMode) return;
    if (FOptions.Contains(goAlwaysShowEditor) && CanEditShow())
        PlaceEditor();
    else
        HideEditor();
}

bool TCustomGrid::SelectCell(int, int) {
    return true;
}

// --- TCustomGrid: the editor ------------------------------------------------------------------

TInplaceEdit* TCustomGrid::CreateEditor() {
    return new TInplaceEdit(this);
}

bool TCustomGrid::CanEditAcceptKey(char) {
    return true;
}

bool TCustomGrid::CanEditModify() {
    return FOptions.Contains(goEditing);
}

bool TCustomGrid::CanEditShow() {
    return FOptions.Contains(goEditing) && !FOptions.Contains(goRowSelect) && FCol >= FFixedCols &&
           FRow >= FFixedRows && !IsDesigning();
}

std::string TCustomGrid::GetEditText(int, int) {
    return {};
}

void TCustomGrid::SetEditText(int, int, const std::string&) {}

int TCustomGrid::GetEditLimit() {
    return 0;
}

void TCustomGrid::SetEditorMode(bool value) {
    if (value)
        ShowEditor();
    else
        HideEditor();
}

void TCustomGrid::ShowEditor() {
    if (!CanEditShow()) return;
    if (!FInplaceEdit) {
        FInplaceEdit = CreateEditor();
        FInplaceEdit->SetGrid(this);
        FInplaceEdit->SetParent(this);
    }
    bool takeFocus = Focused() || FInplaceEdit->Focused();
    FEditorMode = true;
    PlaceEditor();
    FInplaceEdit->SetVisible(true);
    if (takeFocus && FInplaceEdit->CanFocus() && !FInplaceEdit->Focused()) FInplaceEdit->SetFocus();
}

// Binds the editor to the current cell: UpdateContents, then its bounds.
void TCustomGrid::PlaceEditor() {
    FInplaceCol = FCol;
    FInplaceRow = FRow;
    FInplaceEdit->UpdateContents();
    FEditStartText = FInplaceEdit->Text();
    FInplaceEdit->Move(CellRect(FCol, FRow));
    FInplaceEdit->SelectAll();
}

// The geometry changed: a shown editor keeps covering its cell.
void TCustomGrid::FollowWithEditor() {
    if (!FEditorMode || !FInplaceEdit) return;
    if (FInplaceCol != FCol || FInplaceRow != FRow) {
        if (FOptions.Contains(goAlwaysShowEditor) && CanEditShow())
            PlaceEditor();
        else
            HideEditor();
        return;
    }
    FInplaceEdit->Move(CellRect(FCol, FRow));
}

void TCustomGrid::HideEditor() {
    if (!FEditorMode) return;
    FEditorMode = false;
    FInplaceCol = FInplaceRow = -1;
    if (!FInplaceEdit) return;
    // The focus comes back to the grid before the editor goes out of sight.
    if (FInplaceEdit->Focused() && CanFocus()) SetFocus();
    FInplaceEdit->SetVisible(false);
}

void TCustomGrid::UpdateText() {
    if (FInplaceEdit && FInplaceCol >= 0 && FInplaceRow >= 0)
        SetEditText(FInplaceCol, FInplaceRow, FInplaceEdit->Text());
}

void TCustomGrid::CellTextChanged(int ACol, int ARow) {
    if (!FEditorMode || !FInplaceEdit || ACol != FInplaceCol || ARow != FInplaceRow) return;
    std::string text = GetEditText(ACol, ARow);
    if (text == FInplaceEdit->Text()) return;
    FInplaceEdit->FLoading = true;
    try {
        FInplaceEdit->SetText(text);
    } catch (...) {
        FInplaceEdit->FLoading = false;
        throw;
    }
    FInplaceEdit->FLoading = false;
    FInplaceEdit->SelectAll();
}

// Escape while editing: the cell gets back the text it had when the editor came.
void TCustomGrid::CancelEdit() {
    if (FInplaceEdit && FInplaceEdit->Text() != FEditStartText) {
        SetEditText(FInplaceCol, FInplaceRow, FEditStartText);
        CellTextChanged(FInplaceCol, FInplaceRow);
    }
    if (!FOptions.Contains(goAlwaysShowEditor)) HideEditor();
}

// --- TCustomGrid: keys and clicks -------------------------------------------------------------

void TCustomGrid::EditorKeyDown(uint16_t& Key, TShiftState Shift) {
    KeyDown(Key, Shift);
    if (Key == 0) return;
    DefaultKeyDown(Key, Shift);
    if (Key == VK_TAB) {
        // Tab that no cell move took leaves the grid.
        if (TCustomForm* form = GetParentForm(this))
            form->SelectNext(this, !Shift.Contains(ssShift));
        Key = 0;
    }
}

void TCustomGrid::DefaultKeyDown(uint16_t& Key, TShiftState Shift) {
    bool ctrl = Shift.Contains(ssCtrl);
    switch (Key) {
    case VK_UP:
        MoveCurrent(FCol, FRow - 1);
        break;
    case VK_DOWN:
        MoveCurrent(FCol, FRow + 1);
        break;
    case VK_LEFT:
        MoveCurrent(FCol - 1, FRow);
        break;
    case VK_RIGHT:
        MoveCurrent(FCol + 1, FRow);
        break;
    case VK_PRIOR:
        MoveCurrent(FCol, FRow - std::max(1, VisibleRowCount()));
        break;
    case VK_NEXT:
        MoveCurrent(FCol, FRow + std::max(1, VisibleRowCount()));
        break;
    case VK_HOME:
        if (ctrl)
            MoveCurrent(FCol, FFixedRows);
        else
            MoveCurrent(FFixedCols, FRow);
        break;
    case VK_END:
        if (ctrl)
            MoveCurrent(FCol, FRowCount - 1);
        else
            MoveCurrent(FColCount - 1, FRow);
        break;
    case VK_TAB: {
        if (!FOptions.Contains(goTabs) || ctrl) return;
        bool back = Shift.Contains(ssShift);
        int col = FCol + (back ? -1 : 1), row = FRow;
        if (col >= FColCount) {
            col = FFixedCols;
            ++row;
        } else if (col < FFixedCols) {
            col = FColCount - 1;
            --row;
        }
        if (row < FFixedRows || row >= FRowCount) return; // Tab leaves the grid
        MoveCurrent(col, row);
        break;
    }
    case VK_F2:
        ShowEditor();
        break;
    case VK_RETURN:
        if (!FOptions.Contains(goEditing)) return;
        if (!FEditorMode)
            ShowEditor();
        else if (!FOptions.Contains(goAlwaysShowEditor))
            HideEditor();
        break;
    case VK_ESCAPE:
        if (!FEditorMode) return;
        CancelEdit();
        break;
    default:
        return;
    }
    Key = 0;
}

void TCustomGrid::DefaultKeyPress(char& Key) {
    if (static_cast<unsigned char>(Key) < 32 || !CanEditShow()) return;
    ShowEditor();
    if (FInplaceEdit && FInplaceEdit->HandleAllocated())
        SendMessage(FInplaceEdit->Handle(), WM_CHAR, static_cast<unsigned char>(Key), 0);
    Key = 0;
}

void TCustomGrid::DefaultMouseDown(TMouseButton Button, TShiftState, int X, int Y,
                                   bool DoubleClick) {
    if (Button != mbLeft) return;
    int col, row;
    MouseToCell(X, Y, col, row);
    if (col < FFixedCols || row < FFixedRows) return;
    bool current = col == FCol && row == FRow;
    if (!current) MoveCurrent(col, row);
    if (col != FCol || row != FRow) return; // the move was refused
    if ((current || DoubleClick || FOptions.Contains(goAlwaysShowEditor)) && CanEditShow())
        ShowEditor();
}

void TCustomGrid::DoEnter() {
    TCustomControl::DoEnter();
    if (FOptions.Contains(goAlwaysShowEditor) && !FEditorMode) ShowEditor();
}

void TCustomGrid::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
}

void TCustomGrid::SizeChanged(int, int) {}

// --- TCustomGrid: painting --------------------------------------------------------------------

void TCustomGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
    (void)ACol;
    (void)ARow;
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(AState.Contains(gdFixed)      ? FFixedColor
                              : AState.Contains(gdSelected) ? clHighlight
                                                            : Color());
    canvas->FillRect(ARect);
    if (AState.Contains(gdFixed)) PaintFixedCellEdge(*canvas, ARect);
}

// --- TCustomDrawGrid --------------------------------------------------------------------------

std::string TCustomDrawGrid::GetEditText(int ACol, int ARow) {
    std::string value;
    if (OnGetEditText) OnGetEditText(this, ACol, ARow, value);
    return value;
}

void TCustomDrawGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
    if (OnSetEditText) OnSetEditText(this, ACol, ARow, Value);
}

bool TCustomDrawGrid::SelectCell(int ACol, int ARow) {
    bool canSelect = true;
    if (OnSelectCell) OnSelectCell(this, ACol, ARow, canSelect);
    return canSelect;
}

void TCustomDrawGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
    TCustomGrid::DrawCell(ACol, ARow, ARect, AState);
    if (OnDrawCell) OnDrawCell(this, ACol, ARow, ARect, AState);
}

// --- TStringGrid ------------------------------------------------------------------------------

TStringGrid::TStringGrid(TComponent* AOwner)
    : TCustomDrawGrid(AOwner),
      FCells(static_cast<std::size_t>(ColCount()) * static_cast<std::size_t>(RowCount())) {}

TStringGrid::~TStringGrid() = default;

TStringGrid::TCell& TStringGrid::CellAt(int ACol, int ARow) {
    if (ACol < 0 || ACol >= ColCount() || ARow < 0 || ARow >= RowCount()) GridIndexError();
    return FCells[static_cast<std::size_t>(ARow) * static_cast<std::size_t>(ColCount()) +
                  static_cast<std::size_t>(ACol)];
}

const TStringGrid::TCell& TStringGrid::CellAt(int ACol, int ARow) const {
    return const_cast<TStringGrid*>(this)->CellAt(ACol, ARow);
}

std::string TStringGrid::Cells(int ACol, int ARow) const {
    return CellAt(ACol, ARow).Text;
}

void TStringGrid::SetCells(int ACol, int ARow, const std::string& Value) {
    TCell& cell = CellAt(ACol, ARow);
    if (cell.Text == Value) return;
    cell.Text = Value;
    InvalidateCell(ACol, ARow);
    CellTextChanged(ACol, ARow);
}

TObject* TStringGrid::Objects(int ACol, int ARow) const {
    return CellAt(ACol, ARow).Object;
}

void TStringGrid::SetObjects(int ACol, int ARow, TObject* Value) {
    CellAt(ACol, ARow).Object = Value;
}

std::string TStringGrid::GetEditText(int ACol, int ARow) {
    std::string value = Cells(ACol, ARow);
    if (OnGetEditText) OnGetEditText(this, ACol, ARow, value);
    return value;
}

void TStringGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
    SetCells(ACol, ARow, Value);
    TCustomDrawGrid::SetEditText(ACol, ARow, Value);
}

void TStringGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
    TCustomGrid::DrawCell(ACol, ARow, ARect, AState);
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    if (AState.Contains(gdSelected)) canvas->Font()->SetColor(clHighlightText);
    canvas->Brush()->SetStyle(bsClear);
    PaintTextInRect(*canvas, ARect, Cells(ACol, ARow));
    canvas->Brush()->SetStyle(bsSolid);
    if (OnDrawCell) OnDrawCell(this, ACol, ARow, ARect, AState);
}

// The cells keep their places when columns or rows come or go.
void TStringGrid::SizeChanged(int OldColCount, int OldRowCount) {
    std::vector<TCell> cells(static_cast<std::size_t>(ColCount()) *
                             static_cast<std::size_t>(RowCount()));
    int cols = std::min(OldColCount, ColCount()), rows = std::min(OldRowCount, RowCount());
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(ColCount()) +
                  static_cast<std::size_t>(c)] =
                std::move(
                    FCells[static_cast<std::size_t>(r) * static_cast<std::size_t>(OldColCount) +
                           static_cast<std::size_t>(c)]);
    FCells = std::move(cells);
}

// --- Published properties ---------------------------------------------------------------------

const TClassInfo& TCustomGrid::HostProperties() {
    using T = TCustomGrid;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomGrid properties", &TWinControl::HostProperties())
            .Enum("BorderStyle", "TBorderStyle", {"bsNone", "bsSingle"},
                  MemberOf<T>(&TWinControl::BorderStyle), MemberOf<T>(&TWinControl::SetBorderStyle),
                  std::optional<TBorderStyle>(bsSingle))
            .Property("ColCount", &T::ColCount, &T::SetColCount, Variant(5))
            .Property("RowCount", &T::RowCount, &T::SetRowCount, Variant(5))
            .Property("DefaultColWidth", &T::DefaultColWidth, &T::SetDefaultColWidth, Variant(64))
            .Property("DefaultRowHeight", &T::DefaultRowHeight, &T::SetDefaultRowHeight,
                      Variant(24))
            .Property("FixedColor", &T::FixedColor, &T::SetFixedColor, Variant(clBtnFace))
            .Property("FixedCols", &T::FixedCols, &T::SetFixedCols, Variant(1))
            .Property("FixedRows", &T::FixedRows, &T::SetFixedRows, Variant(1))
            .Property("GridLineWidth", &T::GridLineWidth, &T::SetGridLineWidth, Variant(1))
            .Set("Options", "TGridOptions",
                 {"goFixedVertLine", "goFixedHorzLine", "goVertLine", "goHorzLine", "goRangeSelect",
                  "goDrawFocusSelected", "goRowSizing", "goColSizing", "goRowMoving", "goColMoving",
                  "goEditing", "goTabs", "goRowSelect", "goAlwaysShowEditor", "goThumbTracking"},
                 &T::OptionsMask, &T::SetOptionsMask,
                 std::optional<uint64_t>(TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine,
                                                      goHorzLine, goRangeSelect}
                                             .Mask()))
            .Enum("ScrollBars", "TScrollStyle", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"},
                  &T::ScrollBars, &T::SetScrollBars, std::optional<TScrollStyle>(ssBoth))
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Build();
    return info;
}

const TClassInfo& TCustomDrawGrid::HostProperties() {
    using T = TCustomDrawGrid;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomDrawGrid properties", &TCustomGrid::HostProperties())
            .Event("OnDrawCell", "TDrawCellEvent", &T::OnDrawCell)
            .Event("OnGetEditText", "TGetEditEvent", &T::OnGetEditText)
            .Event("OnSelectCell", "TSelectCellEvent", &T::OnSelectCell)
            .Event("OnSetEditText", "TSetEditEvent", &T::OnSetEditText)
            .Build();
    return info;
}

namespace {

// What the draw grid and the string grid publish.
template <class T> TClassInfo GridClassInfo(const char* name) {
    return TClassBuilder<T>(name, &TWinControl::StaticClassInfo())
        .Republish(
            TCustomDrawGrid::HostProperties(),
            {"Align",           "BorderStyle",      "Color",        "ColCount",      "Ctl3D",
             "DefaultColWidth", "DefaultRowHeight", "DragCursor",   "DragMode",      "Enabled",
             "FixedColor",      "FixedCols",        "RowCount",     "FixedRows",     "Font",
             "GridLineWidth",   "Options",          "ParentColor",  "ParentCtl3D",   "ParentFont",
             "ParentShowHint",  "PopupMenu",        "ScrollBars",   "ShowHint",      "TabOrder",
             "TabStop",         "Visible",          "OnClick",      "OnDblClick",    "OnDragDrop",
             "OnDragOver",      "OnDrawCell",       "OnEndDrag",    "OnEnter",       "OnExit",
             "OnGetEditText",   "OnKeyDown",        "OnKeyPress",   "OnKeyUp",       "OnMouseDown",
             "OnMouseMove",     "OnMouseUp",        "OnSelectCell", "OnSetEditText", "OnStartDrag"})
        .Creatable()
        .Build();
}

} // namespace

const TClassInfo& TDrawGrid::StaticClassInfo() {
    static const TClassInfo info = GridClassInfo<TDrawGrid>("TDrawGrid");
    return info;
}

const TClassInfo& TStringGrid::StaticClassInfo() {
    static const TClassInfo info = GridClassInfo<TStringGrid>("TStringGrid");
    return info;
}

} // namespace orvel
