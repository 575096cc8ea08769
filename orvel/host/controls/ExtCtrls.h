// Further controls: panels and bevels, and the paint control, a hidden window of a given window
// class that a control uses to draw copies of itself (a check box or combo box painted once per
// record inside a repeating panel).
#pragma once

#include "orvel/host/controls/StdCtrls.h"

#include <functional>
#include <string>

namespace orvel {

// --- Panels and bevels ----------------------------------------------------------------------

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

// A raised (or lowered) area that holds other controls, with a caption in its middle. The
// bevels are drawn inside the client area, which stays the whole panel.
class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* AOwner);

    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(TPanelBevel value);
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TPanelBevel value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value); // at least 1
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);

    static const TClassInfo& HostProperties();

protected:
    void Paint() override;

private:
    TPanelBevel FBevelInner = bvNone;
    TPanelBevel FBevelOuter = bvRaised;
    int FBevelWidth = 1;
    TAlignment FAlignment = taCenter;
};

class TPanel : public TCustomPanel {
    ORVEL_PUBLISHED(TPanel)
public:
    explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

// A sunken or raised box, frame or line, without a window.
class TBevel : public TGraphicControl {
    ORVEL_PUBLISHED(TBevel)
public:
    explicit TBevel(TComponent* AOwner);

    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape value);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle value);

protected:
    void Paint() override;

private:
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};

// --- The paint control ----------------------------------------------------------------------

// Makes the hidden window of a window class for a paint control, as a copy of the owner's
// look: the factory creates an unparented control; the paint control then gives it the owner's
// size, font, colour and text.
using TWindowClassFactory = std::function<TWinControl*(TWinControl& Owner)>;
// Makes a window class known to paint controls; "COMBOBOX" (a combo box of the owner's style),
// "BUTTON" (a check box with the owner's alignment), "EDIT" and "LISTBOX" are known already.
void RegisterWindowClass(const std::string& ClassName, TWindowClassFactory Factory);

// A hidden, never shown window of a window class that belongs to a control: messages sent to
// it (WM_SETTEXT, BM_SETCHECK, CB_RESETCONTENT, CB_ADDSTRING, CB_SETCURSEL, WM_PAINT with a
// device context) make it draw a copy of the control on any canvas. Handle creates the window
// on first use with the owner's current size, font and text; DestroyHandle drops it so that the
// next use makes it again (after the owner changed its size or font). Handle raises
// EInvalidOperation for a window class that is not known.
class TPaintControl {
public:
    TPaintControl(TWinControl* AOwner, const std::string& ClassName);
    ~TPaintControl();
    TPaintControl(const TPaintControl&) = delete;
    TPaintControl& operator=(const TPaintControl&) = delete;

    HWND Handle();
    bool HandleAllocated() const;
    void DestroyHandle();
    // The copy of a button class is drawn three-dimensional.
    bool Ctl3DButton() const { return FCtl3DButton; }
    void SetCtl3DButton(bool value);
    const std::string& ClassName() const { return FClassName; }
    TWinControl* Owner() const { return FOwner; }
    // The hidden control while the window exists, else none.
    TWinControl* Window() const { return FWindow.get(); }

private:
    TWinControl* FOwner;
    std::string FClassName;
    bool FCtl3DButton = false;
    TOwned<TWinControl> FWindow;
};

} // namespace orvel
