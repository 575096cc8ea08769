// Forms and the screen. A form is a top-level window that holds the control with the focus
// (ActiveControl) and moves it with the Tab key; the screen knows the forms, the active one and
// its size. Modal showing (a modal driver installed by the application) builds on the form's
// ModalResult.
#pragma once

#include "orvel/host/controls/Controls.h"
#include "orvel/host/controls/Graphics.h"

#include <functional>
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

// What closing a form does with it.
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;

// The buttons of a form's caption bar, and where a form is placed when shown (stored for form
// files and front ends).
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon, 4>;
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};

class TCustomForm;

// The application's modal loop. ShowModal hands the shown form to it; it runs the dialog (the
// explorer's dialog loop reads keys until the form's ModalResult is set; a test's script clicks
// and types) and returns. It may also end the dialog by closing the form.
using TModalDriver = std::function<void(TCustomForm& Form)>;
// Installs the modal driver (an empty one removes it) and answers the one installed before.
TModalDriver SetModalDriver(TModalDriver Driver);
const TModalDriver& ModalDriver();

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

    // Shows the form modally: it becomes visible and active, the installed modal driver runs it,
    // and the form is hidden again with the focus back where it was. Answers the ModalResult
    // the dialog ended with; a driver that returns without one ends it as the close box does
    // (mrCancel). EInvalidOperation when the form is visible or modal already, or when no modal
    // driver is installed.
    TModalResult ShowModal();
    bool IsModal() const { return FModal; }
    // Closes the form: OnCloseQuery may refuse; OnClose chooses what happens (caHide by
    // default). A modal form ends with mrCancel unless a result is set already; another form
    // hides (caHide) or is freed once the messages now queued are handled (caFree).
    void Close();
    virtual bool CloseQuery();
    // Frees the form after the messages now queued (posts CM_RELEASE to itself).
    void Release();

    // Enter or Escape that the focused control left unhandled: the form's controls are offered
    // it (CM_DIALOGKEY, WParam: the key) until one takes it (a button: Enter when it is focused
    // or is the default button, Escape when it is the cancel button). Answers whether one did.
    virtual bool DialogKey(uint16_t Key, TShiftState Shift);
    // Alt with a character: the first enabled control of the form whose caption marks that
    // character with '&' takes it (CM_DIALOGCHAR; a label focuses its FocusControl, a button
    // clicks). Answers whether one took it.
    virtual bool DialogChar(char Key);

    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons value) { FBorderIcons = value; }
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition value) { FPosition = value; }
    // A form read from a form file runs OnCreate when it is loaded (its own Loaded, before the
    // components it holds finish theirs).
    void Loaded() override;
    void WndProc(TMessage& Message) override;

    // The form's pixels, ClientWidth x ClientHeight, as the last PaintInvalid composed them.
    const TBitmap& Surface() const { return FSurface; }
    // Repaints into Surface() only the controls invalidated since the last call (everything on
    // the first call and after a resize), children over parents in z-order, clipped to their
    // parents, and answers the damaged rectangle in form coordinates (empty when nothing
    // changed). Each control painted counts a paint (PaintCount).
    TRect PaintInvalid();

    // A form has no frame of its own in the headless model: its client area is its bounds,
    // whatever its BorderStyle (bsSizeable by default).
    int BorderWidth() const override { return 0; }

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnCreate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    friend class TWinControl;
    // A control leaves the form (removed or destroyed): the form forgets it as its active
    // control.
    void ControlLeaving(const TControl* Control);
    void SetVisible(bool value) override;
    virtual void DoCreate();
    virtual void DoClose(TCloseAction& Action);
    // The client area in the form's Color.
    void PaintWindow(HDC DC) override;

private:
    void FocusFirstControl();
    void EndModal(TCustomForm* PreviousActive, HWND PreviousFocus);

    TWinControl* FActiveControl = nullptr;
    TModalResult FModalResult = mrNone;
    bool FModal = false;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TPosition FPosition = poDesigned;
    TBitmap FSurface;
    std::vector<TRect> FPopupPlaces; // where pop-ups showed at the last composition
};

class TForm : public TCustomForm {
    ORVEL_PUBLISHED(TForm)
public:
    explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}

    // The client area is the whole form (a form has no frame of its own here): these set the
    // width and height.
    void SetClientWidth(int value) { SetWidth(value); }
    void SetClientHeight(int value) { SetHeight(value); }
    uint64_t BorderIconsMask() const { return BorderIcons().Mask(); }
    void SetBorderIconsMask(uint64_t value) { SetBorderIcons(TBorderIcons::FromMask(value)); }
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

// A form's picture as a desktop window shows it (for pictures of dialogs; a front end with a
// window manager draws its own): a raised frame FormFrameWidth pixels wide, a caption bar of
// FormCaptionHeight pixels (clActiveCaption while the form is active, else clInactiveCaption)
// with the caption and a close box, and the form's client area inside, all with the window's
// top-left at (x, y). FormWindowSize answers the size of that picture.
inline constexpr int FormFrameWidth = 4;
inline constexpr int FormCaptionHeight = 20;
TSize FormWindowSize(const TCustomForm& form);
void PaintFormWindow(TCanvas& canvas, TCustomForm& form, int x, int y);

// The form a control lies in (the control itself when it is a form), or none.
TCustomForm* GetParentForm(const TControl* Control);

} // namespace orvel
