// Forms and the screen.
#include "orvel/host/controls/Forms.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"

#include <algorithm>
#include <cstdint>

namespace orvel {

namespace {

TModalDriver& InstalledModalDriver() {
    static TModalDriver driver;
    return driver;
}

// Offers a message to every control inside parent, depth first in insertion order, until one
// answers it (a non-zero result).
bool OfferToControls(TWinControl* parent, UINT msg, WPARAM wparam) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Visible() || !c->Enabled()) continue;
        if (c->Perform(msg, wparam, 0) != 0) return true;
        if (auto* w = dynamic_cast<TWinControl*>(c); w && OfferToControls(w, msg, wparam))
            return true;
    }
    return false;
}

} // namespace

TModalDriver SetModalDriver(TModalDriver Driver) {
    TModalDriver previous = std::move(InstalledModalDriver());
    InstalledModalDriver() = std::move(Driver);
    return previous;
}

const TModalDriver& ModalDriver() {
    return InstalledModalDriver();
}

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

int TScreen::Width() const {
    return Platform().ScreenWidth();
}

int TScreen::Height() const {
    return Platform().ScreenHeight();
}

TWinControl* TScreen::ActiveControl() const {
    return FocusedControl();
}

TCustomForm* GetParentForm(const TControl* Control) {
    for (const TControl* c = Control; c; c = c->Parent())
        if (auto* form = dynamic_cast<const TCustomForm*>(c)) return const_cast<TCustomForm*>(form);
    return nullptr;
}

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
    TControl::SetVisible(false);
    SetBorderStyle(bsSizeable);
    SetBounds(0, 0, 640, 480);
    SetColor(clBtnFace);
    Screen().FForms.push_back(this);
}

TCustomForm::~TCustomForm() {
    auto& forms = Screen().FForms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (Screen().FActiveForm == this) Screen().FActiveForm = nullptr;
    FActiveControl = nullptr;
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
    if (Control == FActiveControl) return;
    if (Control && (Control == this || !ContainsControl(Control)))
        throw EInvalidOperation("The active control of a form must lie inside the form");
    if (Control && Active() && Control->CanFocus()) {
        Control->SetFocus(); // records it as the active control
        return;
    }
    FActiveControl = Control;
}

bool TCustomForm::Active() const {
    return Screen().FActiveForm == this;
}

void TCustomForm::SetVisible(bool value) {
    bool was = Visible();
    TWinControl::SetVisible(value);
    if (value == was) return;
    if (value) {
        HandleNeeded();
        if (OnShow) OnShow(this);
    } else {
        if (Screen().FActiveForm == this) Screen().FActiveForm = nullptr;
        if (OnHide) OnHide(this);
    }
}

void TCustomForm::Show() {
    SetVisible(true);
    Screen().FActiveForm = this;
    if (OnActivate) OnActivate(this);
    if (FActiveControl && FActiveControl->CanFocus())
        FActiveControl->SetFocus();
    else
        FocusFirstControl();
}

void TCustomForm::Hide() {
    SetVisible(false);
}

TModalResult TCustomForm::ShowModal() {
    if (FModal || Visible()) throw EInvalidOperation("Cannot make a visible window modal");
    TModalDriver driver = ModalDriver();
    if (!driver) throw EInvalidOperation("No modal driver is installed");
    TCustomForm* previousActive = Screen().FActiveForm;
    HWND previousFocus = Application().Focus();
    FModalResult = mrNone;
    FModal = true;
    try {
        Show();
        driver(*this);
    } catch (...) {
        EndModal(previousActive, previousFocus);
        throw;
    }
    if (FModalResult == mrNone) FModalResult = mrCancel;
    EndModal(previousActive, previousFocus);
    return FModalResult;
}

// The modal showing is over: the form hides and the focus returns to where it was.
void TCustomForm::EndModal(TCustomForm* PreviousActive, HWND PreviousFocus) {
    FModal = false;
    Hide();
    auto& forms = Screen().FForms;
    if (PreviousActive && std::find(forms.begin(), forms.end(), PreviousActive) != forms.end() &&
        PreviousActive->Visible())
        Screen().FActiveForm = PreviousActive;
    if (TWinControl* focus = FindControl(PreviousFocus); focus && focus->CanFocus())
        focus->SetFocus();
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

void TCustomForm::Close() {
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (FModal) {
        if (FModalResult == mrNone) FModalResult = mrCancel;
        return;
    }
    if (action == caHide)
        Hide();
    else if (action == caFree)
        Release();
}

void TCustomForm::Release() {
    PostMessage(Handle(), CM_RELEASE, 0, 0);
}

bool TCustomForm::DialogKey(uint16_t Key, TShiftState) {
    return OfferToControls(this, CM_DIALOGKEY, Key);
}

bool TCustomForm::DialogChar(char Key) {
    return OfferToControls(this, CM_DIALOGCHAR, static_cast<unsigned char>(Key));
}

void TCustomForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}

void TCustomForm::Loaded() {
    TWinControl::Loaded();
    DoCreate();
}

void TCustomForm::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_RELEASE:
        Free();
        return;
    case WM_CLOSE:
        Close();
        return;
    default:
        TWinControl::WndProc(Message);
    }
}

void TCustomForm::FocusFirstControl() {
    std::vector<TWinControl*> list = TabList();
    if (!list.empty()) list.front()->SetFocus();
}

namespace {

void CollectTabStops(const TWinControl* parent, std::vector<TWinControl*>& out) {
    std::vector<TWinControl*> children;
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(parent->Controls(i))) children.push_back(w);
    // Tab order first; controls without one (-1) after those with one, in insertion order.
    std::stable_sort(children.begin(), children.end(), [](TWinControl* a, TWinControl* b) {
        auto key = [](TWinControl* w) { return w->TabOrder() < 0 ? INT32_MAX : w->TabOrder(); };
        return key(a) < key(b);
    });
    for (TWinControl* w : children) {
        if (w->TabStop() && w->CanFocus()) out.push_back(w);
        CollectTabStops(w, out);
    }
}

} // namespace

std::vector<TWinControl*> TCustomForm::TabList() const {
    std::vector<TWinControl*> out;
    CollectTabStops(this, out);
    return out;
}

void TCustomForm::SelectNext(TWinControl* Current, bool GoForward) {
    std::vector<TWinControl*> list = TabList();
    if (list.empty()) return;
    auto it = std::find(list.begin(), list.end(), Current);
    std::size_t n = list.size();
    std::size_t next;
    if (it == list.end()) {
        next = GoForward ? 0 : n - 1;
    } else {
        std::size_t i = static_cast<std::size_t>(it - list.begin());
        next = GoForward ? (i + 1) % n : (i + n - 1) % n;
    }
    if (list[next] != Current) list[next]->SetFocus();
}

void TCustomForm::ControlLeaving(const TControl* Control) {
    if (!FActiveControl) return;
    for (const TControl* c = FActiveControl; c; c = c->Parent())
        if (c == Control) {
            FActiveControl = nullptr;
            return;
        }
}

namespace {

TNotifyEvent TForm::*FormEvent(TNotifyEvent TCustomForm::*event) {
    return static_cast<TNotifyEvent TForm::*>(event);
}

} // namespace

const TClassInfo& TForm::StaticClassInfo() {
    using T = TForm;
    static const TClassInfo info =
        TClassBuilder<TForm>("TForm", &TWinControl::StaticClassInfo())
            .Republish(TWinControl::HostProperties(),
                       {"Caption", "Enabled", "Font", "PopupMenu", "ShowHint", "OnClick",
                        "OnDblClick", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                        "OnMouseMove", "OnMouseUp"})
            .Property("Color", MemberOf<T>(&TControl::Color), MemberOf<T>(&TControl::SetColor),
                      Variant(clBtnFace))
            .Event("OnShow", "TNotifyEvent", FormEvent(&TCustomForm::OnShow))
            .Event("OnHide", "TNotifyEvent", FormEvent(&TCustomForm::OnHide))
            .Event("OnActivate", "TNotifyEvent", FormEvent(&TCustomForm::OnActivate))
            .Object("ActiveControl", "TWinControl", MemberOf<T>(&TCustomForm::ActiveControl),
                    MemberOf<T>(&TCustomForm::SetActiveControl))
            .Enum("BorderStyle", "TFormBorderStyle",
                  {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
                  MemberOf<T>(&TWinControl::BorderStyle), MemberOf<T>(&TWinControl::SetBorderStyle),
                  std::optional<TFormBorderStyle>(bsSizeable))
            .Set("BorderIcons", "TBorderIcons",
                 {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}, &T::BorderIconsMask,
                 &T::SetBorderIconsMask,
                 std::optional<uint64_t>(TBorderIcons{biSystemMenu, biMinimize, biMaximize}.Mask()))
            .Enum("Position", "TPosition",
                  {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                   "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"},
                  MemberOf<T>(&TCustomForm::Position), MemberOf<T>(&TCustomForm::SetPosition),
                  std::optional<TPosition>(poDesigned))
            .Property("ClientWidth", MemberOf<T>(&TControl::ClientWidth), &T::SetClientWidth)
            .Property("ClientHeight", MemberOf<T>(&TControl::ClientHeight), &T::SetClientHeight)
            .Event("OnCreate", "TNotifyEvent", FormEvent(&TCustomForm::OnCreate))
            .Event("OnClose", "TCloseEvent", static_cast<TCloseEvent T::*>(&TCustomForm::OnClose))
            .Event("OnCloseQuery", "TCloseQueryEvent",
                   static_cast<TCloseQueryEvent T::*>(&TCustomForm::OnCloseQuery))
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
