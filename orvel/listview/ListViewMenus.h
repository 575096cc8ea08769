// A ready-made "View" menu fragment for applications that show a list view: four radio items,
// one per view style, whose Tag carries the style for the application's click handler.
#pragma once

#include "orvel/host/controls/ComCtrls.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"

namespace orvel {

// Builds the "&View" item with the four style items under it (large icons, small icons, list,
// details; Tag = the style's ordinal, radio items of group 1, AViewStyle's item checked, AOnClick
// on each). AOwner owns all five items. The function never changes a list view's style and never
// moves the check mark later: both are the click handler's to do.
TMenuItem* ViewMenu(TComponent* AOwner, TViewStyle AViewStyle, const TNotifyEvent& AOnClick);

} // namespace orvel
