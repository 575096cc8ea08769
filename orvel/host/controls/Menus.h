// Menus: menu items in a tree (caption, tag, check marks with radio groups, click handler) and
// popup menus, which controls pop up on a right click. A popup in the headless model is
// recorded (which menu, at which screen point, for which control) so that a front end can show
// it and tests can see it.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvel {

class TMenu;
class TCanvas;

// Shortcut keys: a virtual key code in the low byte with the modifier bits.
inline constexpr uint16_t scNone = 0;
inline constexpr uint16_t scShift = 0x2000;
inline constexpr uint16_t scCtrl = 0x4000;
inline constexpr uint16_t scAlt = 0x8000;

// An item of a menu. Items are components: their owner frees them. An item also frees the
// child items it still holds when it is destroyed, and a destroyed item leaves its parent.
class TMenuItem : public TComponent {
    ORVEL_PUBLISHED(TMenuItem)
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { FCaption = value; }
    // Checking a radio item unchecks the other radio items of its group (same GroupIndex) under
    // the same parent.
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool value);
    uint8_t GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(uint8_t value) { FGroupIndex = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value) { FVisible = value; }
    // A click toggles the check mark (a radio item is only checked) before OnClick.
    bool AutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool value) { FAutoCheck = value; }
    uint16_t ShortCut() const { return FShortCut; }
    void SetShortCut(uint16_t value) { FShortCut = value; }
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value) { FHint = value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value) { FImageIndex = value; }

    int Count() const { return static_cast<int>(FItems.size()); }
    // EListError for an index outside 0..Count-1.
    TMenuItem* Items(int Index) const;
    TMenuItem* operator[](int Index) const { return Items(Index); }
    TMenuItem* Parent() const { return FParent; }
    int MenuIndex() const; // place under the parent, -1 without parent
    int IndexOf(const TMenuItem* Item) const;
    // The first child whose caption equals text, ignoring '&' markers and case; none if none.
    TMenuItem* Find(const std::string& ACaption) const;

    // Appends or inserts a child (taken away from its former parent). EInvalidOperation for an
    // item that is this item or one of its parents.
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    // Removes a child from this item without freeing it.
    void Delete(int Index);
    void Remove(TMenuItem* Item);
    // Frees every child.
    void Clear();

    // The menu this item belongs to (through its parents), or none.
    TMenu* GetParentMenu() const;

    // In form files an item is nested under its parent item (or its menu).
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* AParent) override;

    // The user chose the item: nothing for a disabled item; else AutoCheck, then OnClick with
    // the item as sender.
    virtual void Click();

    TNotifyEvent OnClick;

private:
    friend class TMenu;
    void UncheckRadioSiblings();

    std::string FCaption;
    std::string FHint;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr; // set on a menu's root item
    std::vector<TMenuItem*> FItems;
    int FImageIndex = -1;
    uint16_t FShortCut = 0;
    uint8_t FGroupIndex = 0;
    bool FChecked = false;
    bool FRadioItem = false;
    bool FEnabled = true;
    bool FVisible = true;
    bool FAutoCheck = false;
};

// A menu: a root item whose children are the menu's entries.
class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    TMenuItem* Items() const { return FItems; }

private:
    TMenuItem* FItems; // owned: freed by the destructor
};

class TPopupMenu;

// The last popup the host showed.
struct TPopupRecord {
    TPopupMenu* Menu = nullptr; // none when no popup was shown (or the menu is gone)
    TPoint Point;               // screen coordinates
};

class TPopupMenu : public TMenu {
    ORVEL_PUBLISHED(TPopupMenu)
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;

    // Pops the menu up at a screen point: OnPopup, then the popup is recorded (PopupPoint,
    // PopupCount and LastPopup). The host shows it; the user's choice arrives as an item's Click.
    virtual void Popup(int X, int Y);

    // Whether a right click on a control with this menu pops it up (default true).
    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool value) { FAutoPopup = value; }
    // The component the menu was last popped up for; cleared when that component is destroyed.
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* value);

    TPoint PopupPoint() const { return FPopupPoint; }
    int PopupCount() const { return FPopupCount; }

    void Notification(TComponent* AComponent, TOperation Operation) override;

    TNotifyEvent OnPopup;

private:
    TComponent* FPopupComponent = nullptr;
    TPoint FPopupPoint;
    int FPopupCount = 0;
    bool FAutoPopup = true;
};

const TPopupRecord& LastPopup();
void ClearLastPopup();

// The caption without its '&' accelerator markers ("&&" stays one '&').
std::string StripHotkey(const std::string& Caption);

// The shortcut as a menu shows it: "Ctrl+Shift+F2", "Del", "Alt+X"; "" for none.
std::string ShortCutToText(uint16_t ShortCut);

// The size of a popup box showing the menu's visible items (captions with their accelerator
// underline or "&" removed, check marks, radio items, separators, submenu arrows, shortcuts),
// measured with the canvas's font.
TSize MenuBoxSize(TCanvas& canvas, const TMenuItem& menu);
// Paints that box with its top-left at (x, y), the visible item at highlight (-1: none) selected.
void PaintMenuBox(TCanvas& canvas, const TMenuItem& menu, int x, int y, int highlight);
// The index among the menu's visible items at y (relative to the box's top), -1 for none or a
// separator.
int MenuBoxItemAt(TCanvas& canvas, const TMenuItem& menu, int y);
// The rectangle of the visible item at index in a box whose top-left is at (0, 0); empty outside
// the visible items.
TRect MenuBoxItemRect(TCanvas& canvas, const TMenuItem& menu, int index);

} // namespace orvel
