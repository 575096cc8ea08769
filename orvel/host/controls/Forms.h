// Forms and the screen. A form is a top-level window that holds the control with the focus
// (ActiveControl) and moves it with the Tab key; the screen knows the forms, the active one and
// its size. Modal showing (a modal driver installed by the application) builds on the form's
// ModalResult.
#pragma once

#include "orvel/host/controls/Controls.h"

#include <vector>

namespace orvel {

// How a modal form ended.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // The control inside this form that has (or, while the form is not active, will get) the
    // focus. Setting a control that is not inside the form raises EInvalidOperation.
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Control);

    // Showing makes the form visible with its windows created and the active form of the screen;
    // the focus goes to ActiveControl, or else to the first control that can take it in tab
    // order.
    void Show();
    void Hide();
    bool Active() const;

    // Moves the focus to the next (or previous) control that can take it, in tab order (TabOrder,
    // then insertion order), wrapping around; nothing when none can.
    void SelectNext(TWinControl* Current, bool GoForward);
    // The focusable controls in tab order.
    std::vector<TWinControl*> TabList() const;

    // The result a modal showing ends with; a modal loop ends when it is set to anything but
    // mrNone.
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value) { FModalResult = value; }

    // A form has no frame of its own in the headless model: its client area is its bounds,
    // whatever its BorderStyle (bsSizeable by default).
    int BorderWidth() const override { return 0; }

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;

protected:
    friend class TWinControl;
    // A control leaves the form (removed or destroyed): the form forgets it as its active
    // control.
    void ControlLeaving(const TControl* Control);
    void SetVisible(bool value) override;

private:
    void FocusFirstControl();

    TWinControl* FActiveControl = nullptr;
    TModalResult FModalResult = mrNone;
};

class TForm : public TCustomForm {
    ORVEL_PUBLISHED(TForm)
public:
    explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
};

class TScreen {
public:
    int Width() const;
    int Height() const;
    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int Index) const { return FForms.at(static_cast<std::size_t>(Index)); }
    TCustomForm* ActiveForm() const { return FActiveForm; }
    // The control with the keyboard focus, or none.
    TWinControl* ActiveControl() const;

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> FForms;
    TCustomForm* FActiveForm = nullptr;
};
TScreen& Screen();

// The form a control lies in (the control itself when it is a form), or none.
TCustomForm* GetParentForm(const TControl* Control);

} // namespace orvel
