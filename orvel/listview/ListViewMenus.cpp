// The view-style menu fragment; its captions come from the string table so they can be
// translated without touching the code.
#include "orvel/listview/ListViewMenus.h"

#include "orvel/host/core/Exceptions.h"

namespace orvel {

TMenuItem* ViewMenu(TComponent* AOwner, TViewStyle AViewStyle, const TNotifyEvent& AOnClick) {
    auto* parent = new TMenuItem(AOwner);
    try {
        parent->SetCaption(LoadStr(SViewMenu));
        for (int style = vsIcon; style <= vsReport; ++style) {
            auto* child = new TMenuItem(AOwner);
            // Under the parent at once, so that without an owner the parent still frees it.
            parent->Add(child);
            child->SetCaption(LoadStr(SViewLargeIcons + style));
            child->SetTag(style);
            child->SetRadioItem(true);
            child->SetGroupIndex(1);
            child->OnClick = AOnClick;
            if (style == AViewStyle) child->SetChecked(true);
        }
    } catch (...) {
        if (!AOwner) parent->Free();
        throw;
    }
    return parent;
}

} // namespace orvel
