// Panels, bevels and the paint control.
#include "orvel/host/controls/ExtCtrls.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"

#include <map>

namespace orvel {

namespace {

// Draws a raised or lowered edge of width pixels along the inside of r, and narrows r by it.
void DrawEdge(TCanvas* canvas, TRect& r, bool raised, int width) {
    TColor topLeft = raised ? clBtnHighlight : clBtnShadow;
    TColor bottomRight = raised ? clBtnShadow : clBtnHighlight;
    for (int i = 0; i < width && !r.IsEmpty(); ++i) {
        canvas->Brush()->SetColor(topLeft);
        canvas->FillRect({r.Left, r.Top, r.Right, r.Top + 1});
        canvas->FillRect({r.Left, r.Top, r.Left + 1, r.Bottom});
        canvas->Brush()->SetColor(bottomRight);
        canvas->FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
        canvas->FillRect({r.Right - 1, r.Top, r.Right, r.Bottom});
        InflateRect(r, -1, -1);
    }
}

std::map<std::string, TWindowClassFactory>& WindowClasses() {
    static std::map<std::string, TWindowClassFactory> classes = [] {
        std::map<std::string, TWindowClassFactory> known;
        known["COMBOBOX"] = [](TWinControl& owner) -> TWinControl* {
            auto* copy = new TComboBox(nullptr);
            if (auto* combo = dynamic_cast<TCustomComboBox*>(&owner)) {
                copy->SetStyle(combo->Style());
                copy->SetItemHeight(combo->ItemHeight());
            }
            return copy;
        };
        known["BUTTON"] = [](TWinControl& owner) -> TWinControl* {
            auto* copy = new TCheckBox(nullptr);
            if (auto* box = dynamic_cast<TCustomCheckBox*>(&owner)) {
                copy->SetAlignment(box->Alignment());
                copy->SetAllowGrayed(box->AllowGrayed());
            }
            return copy;
        };
        known["EDIT"] = [](TWinControl&) -> TWinControl* { return new TEdit(nullptr); };
        known["LISTBOX"] = [](TWinControl&) -> TWinControl* { return new TListBox(nullptr); };
        return known;
    }();
    return classes;
}

} // namespace

// --- TCustomPanel -----------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    TControlStyle style = ControlStyle();
    style.Include(csAcceptsControls);
    SetControlStyle(style);
    SetColor(clBtnFace);
    SetBounds(0, 0, 185, 41);
}

void TCustomPanel::SetBevelInner(TPanelBevel value) {
    FBevelInner = value;
    Invalidate();
}

void TCustomPanel::SetBevelOuter(TPanelBevel value) {
    FBevelOuter = value;
    Invalidate();
}

void TCustomPanel::SetBevelWidth(int value) {
    FBevelWidth = value < 1 ? 1 : value;
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment value) {
    FAlignment = value;
    Invalidate();
}

void TCustomPanel::Paint() {
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
    for (TPanelBevel bevel : {FBevelOuter, FBevelInner}) {
        if (bevel == bvLowered || bevel == bvRaised)
            DrawEdge(canvas, r, bevel == bvRaised, FBevelWidth);
        else if (bevel == bvSpace)
            InflateRect(r, -FBevelWidth, -FBevelWidth);
    }
    std::string text = StripAccelChars(Caption());
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsClear);
    int width = canvas->TextWidth(text);
    int x = FAlignment == taLeftJustify    ? r.Left
            : FAlignment == taRightJustify ? r.Right - width
                                           : r.Left + (r.Width() - width) / 2;
    canvas->TextRect(r, x, r.Top + (r.Height() - canvas->TextHeight(text)) / 2, text);
    canvas->Brush()->SetStyle(bsSolid);
}

// --- TBevel -----------------------------------------------------------------------------------

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value) {
    FShape = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
    FStyle = value;
    Invalidate();
}

void TBevel::Paint() {
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    bool raised = FStyle == bsRaised;
    TColor first = raised ? clBtnHighlight : clBtnShadow;
    TColor second = raised ? clBtnShadow : clBtnHighlight;
    auto line = [canvas](TColor c, const TRect& l) {
        canvas->Brush()->SetColor(c);
        canvas->FillRect(l);
    };
    switch (FShape) {
    case bsBox:
        DrawEdge(canvas, r, raised, 1);
        break;
    case bsFrame:
        line(first, {r.Left, r.Top, r.Right - 1, r.Bottom - 1});
        line(second, {r.Left + 1, r.Top + 1, r.Right, r.Bottom});
        break;
    case bsTopLine:
        line(first, {r.Left, r.Top, r.Right, r.Top + 1});
        line(second, {r.Left, r.Top + 1, r.Right, r.Top + 2});
        break;
    case bsBottomLine:
        line(first, {r.Left, r.Bottom - 2, r.Right, r.Bottom - 1});
        line(second, {r.Left, r.Bottom - 1, r.Right, r.Bottom});
        break;
    case bsLeftLine:
        line(first, {r.Left, r.Top, r.Left + 1, r.Bottom});
        line(second, {r.Left + 1, r.Top, r.Left + 2, r.Bottom});
        break;
    case bsRightLine:
        line(first, {r.Right - 2, r.Top, r.Right - 1, r.Bottom});
        line(second, {r.Right - 1, r.Top, r.Right, r.Bottom});
        break;
    case bsSpacer:
        break;
    }
}

// --- TPaintControl ----------------------------------------------------------------------------

void RegisterWindowClass(const std::string& ClassName, TWindowClassFactory Factory) {
    WindowClasses()[UpperCase(ClassName)] = std::move(Factory);
}

TPaintControl::TPaintControl(TWinControl* AOwner, const std::string& ClassName)
    : FOwner(AOwner), FClassName(ClassName) {}

TPaintControl::~TPaintControl() = default;

bool TPaintControl::HandleAllocated() const {
    return FWindow && FWindow->HandleAllocated();
}

HWND TPaintControl::Handle() {
    if (HandleAllocated()) return FWindow->Handle();
    auto it = WindowClasses().find(UpperCase(FClassName));
    if (it == WindowClasses().end() || !FOwner)
        throw EInvalidOperation("Unknown window class " + FClassName);
    FWindow.reset(it->second(*FOwner));
    // Never shown: a window of its own, the owner's size, look and text.
    FWindow->SetVisible(false);
    FWindow->SetBounds(0, 0, FOwner->Width(), FOwner->Height());
    FWindow->SetFont(FOwner->Font());
    FWindow->SetColor(FOwner->Color());
    FWindow->SetCtl3D(SameText(FClassName, "BUTTON") ? FCtl3DButton : FOwner->Ctl3D());
    FWindow->SetText(FOwner->Text());
    return FWindow->Handle();
}

void TPaintControl::DestroyHandle() {
    FWindow.reset();
}

void TPaintControl::SetCtl3DButton(bool value) {
    if (value == FCtl3DButton) return;
    FCtl3DButton = value;
    DestroyHandle();
}

// --- Published properties ---

const TClassInfo& TCustomPanel::HostProperties() {
    using T = TCustomPanel;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomPanel properties", &TWinControl::HostProperties())
            .Enum("Alignment", "TAlignment", {"taLeftJustify", "taRightJustify", "taCenter"},
                  &T::Alignment, &T::SetAlignment, std::optional<TAlignment>(taCenter))
            .Enum("BevelInner", "TPanelBevel", {"bvNone", "bvLowered", "bvRaised", "bvSpace"},
                  &T::BevelInner, &T::SetBevelInner, std::optional<TPanelBevel>(bvNone))
            .Enum("BevelOuter", "TPanelBevel", {"bvNone", "bvLowered", "bvRaised", "bvSpace"},
                  &T::BevelOuter, &T::SetBevelOuter, std::optional<TPanelBevel>(bvRaised))
            .Property("BevelWidth", &T::BevelWidth, &T::SetBevelWidth, Variant(1))
            .Enum("BorderStyle", "TBorderStyle", {"bsNone", "bsSingle"},
                  MemberOf<T>(&TWinControl::BorderStyle), MemberOf<T>(&TWinControl::SetBorderStyle),
                  std::optional<TBorderStyle>(bsNone))
            .Property("Color", MemberOf<T>(&TControl::Color), MemberOf<T>(&TControl::SetColor),
                      Variant(clBtnFace))
            .Build();
    return info;
}

const TClassInfo& TPanel::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TPanel>("TPanel", &TWinControl::StaticClassInfo())
            .Republish(TCustomPanel::HostProperties(),
                       {"Align",       "Alignment",      "BevelInner", "BevelOuter",  "BevelWidth",
                        "BorderStyle", "Caption",        "Color",      "Ctl3D",       "DragCursor",
                        "DragMode",    "Enabled",        "Font",       "ParentColor", "ParentCtl3D",
                        "ParentFont",  "ParentShowHint", "PopupMenu",  "ShowHint",    "TabOrder",
                        "TabStop",     "Visible",        "OnClick",    "OnDblClick",  "OnDragDrop",
                        "OnDragOver",  "OnEndDrag",      "OnEnter",    "OnExit",      "OnMouseDown",
                        "OnMouseMove", "OnMouseUp",      "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TBevel::StaticClassInfo() {
    using T = TBevel;
    static const TClassInfo info =
        TClassBuilder<T>("TBevel", &TControl::StaticClassInfo())
            .Republish(TControl::HostProperties(),
                       {"Align", "ParentShowHint", "ShowHint", "Visible"})
            .Enum("Shape", "TBevelShape",
                  {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine",
                   "bsSpacer"},
                  &T::Shape, &T::SetShape, std::optional<TBevelShape>(bsBox))
            .Enum("Style", "TBevelStyle", {"bsLowered", "bsRaised"}, &T::Style, &T::SetStyle,
                  std::optional<TBevelStyle>(bsLowered))
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
