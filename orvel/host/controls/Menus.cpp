// Menu items, menus and popup menus.
#include "orvel/host/controls/Menus.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>

namespace orvel {

namespace {

TPopupRecord gLastPopup;

} // namespace

std::string StripHotkey(const std::string& Caption) {
    std::string out;
    out.reserve(Caption.size());
    for (std::size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&')
                out += '&';
            else
                continue;
            ++i;
            continue;
        }
        out += Caption[i];
    }
    return out;
}

const TPopupRecord& LastPopup() {
    return gLastPopup;
}

void ClearLastPopup() {
    gLastPopup = TPopupRecord{};
}

// --- TMenuItem ----------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
    // Children still held go with this item; each leaves the list as it is destroyed.
    while (!FItems.empty()) {
        TMenuItem* child = FItems.back();
        child->Free();
    }
    if (FParent) FParent->Remove(this);
}

void TMenuItem::SetChecked(bool value) {
    if (value == FChecked) return;
    FChecked = value;
    if (value && FRadioItem) UncheckRadioSiblings();
}

void TMenuItem::SetRadioItem(bool value) {
    if (value == FRadioItem) return;
    FRadioItem = value;
    if (value && FChecked) UncheckRadioSiblings();
}

void TMenuItem::UncheckRadioSiblings() {
    if (!FParent) return;
    for (TMenuItem* sibling : FParent->FItems)
        if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex)
            sibling->FChecked = false;
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(Index)});
    return FItems[static_cast<std::size_t>(Index)];
}

int TMenuItem::MenuIndex() const {
    return FParent ? FParent->IndexOf(this) : -1;
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const std::string& ACaption) const {
    std::string wanted = StripHotkey(ACaption);
    for (TMenuItem* item : FItems)
        if (SameText(StripHotkey(item->FCaption), wanted)) return item;
    return nullptr;
}

void TMenuItem::Add(TMenuItem* Item) {
    Insert(Count(), Item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) return;
    for (const TMenuItem* p = this; p; p = p->FParent)
        if (p == Item) throw EInvalidOperation("A menu item cannot be placed under itself");
    if (Item->FParent) Item->FParent->Remove(Item);
    Index = std::clamp(Index, 0, Count());
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
    if (Item->FChecked && Item->FRadioItem) Item->UncheckRadioSiblings();
}

void TMenuItem::Delete(int Index) {
    TMenuItem* item = Items(Index);
    FItems.erase(FItems.begin() + Index);
    item->FParent = nullptr;
}

void TMenuItem::Remove(TMenuItem* Item) {
    int index = IndexOf(Item);
    if (index >= 0) Delete(index);
}

void TMenuItem::Clear() {
    while (!FItems.empty())
        FItems.back()->Free();
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* root = this;
    while (root->FParent)
        root = root->FParent;
    return root->FMenu;
}

TComponent* TMenuItem::GetParentComponent() const {
    if (!FParent) return nullptr;
    if (FParent->FMenu) return FParent->FMenu;
    return FParent;
}

void TMenuItem::SetParentComponent(TComponent* AParent) {
    if (auto* menu = dynamic_cast<TMenu*>(AParent))
        menu->Items()->Add(this);
    else if (auto* item = dynamic_cast<TMenuItem*>(AParent))
        item->Add(this);
    else if (AParent)
        throw EInvalidOperation("A menu item's parent must be a menu or an item");
}

void TMenuItem::Click() {
    if (!FEnabled) return;
    if (FAutoCheck) SetChecked(FRadioItem ? true : !FChecked);
    if (OnClick) OnClick(this);
}

// --- Menus --------------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {
    FItems->FMenu = this;
}

TMenu::~TMenu() {
    FItems->FMenu = nullptr;
    FItems->Free();
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

TPopupMenu::~TPopupMenu() {
    if (gLastPopup.Menu == this) gLastPopup.Menu = nullptr;
}

void TPopupMenu::SetPopupComponent(TComponent* value) {
    if (value == FPopupComponent) return;
    if (FPopupComponent) RemoveFreeNotification(FPopupComponent);
    FPopupComponent = value;
    if (value) FreeNotification(value);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMenu::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FPopupComponent)
        FPopupComponent = nullptr;
}

void TPopupMenu::Popup(int X, int Y) {
    if (OnPopup) OnPopup(this);
    FPopupPoint = {X, Y};
    ++FPopupCount;
    gLastPopup.Menu = this;
    gLastPopup.Point = FPopupPoint;
}

// --- Published properties -----------------------------------------------------------------

const TClassInfo& TMenuItem::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TMenuItem>("TMenuItem", &TComponent::StaticClassInfo())
            .Property("AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck, Variant(false))
            .Property("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption, Variant(""))
            .Property("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, Variant(false))
            .Property("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, Variant(true))
            .Property("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, Variant(0))
            .Property("Hint", &TMenuItem::Hint, &TMenuItem::SetHint, Variant(""))
            .Property("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex, Variant(-1))
            .Property("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem, Variant(false))
            .Property("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, Variant(0))
            .Property("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, Variant(true))
            .Event("OnClick", "TNotifyEvent", &TMenuItem::OnClick)
            .Creatable()
            .Build();
    return info;
}

const TClassInfo& TPopupMenu::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TPopupMenu>("TPopupMenu", &TComponent::StaticClassInfo())
            .Property("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup, Variant(true))
            .Event("OnPopup", "TNotifyEvent", &TPopupMenu::OnPopup)
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
