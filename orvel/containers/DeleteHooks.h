// The delete hooks views place on a dataset: each view stands in front of the before-delete and
// after-delete handlers it finds and calls them on, so several views and the application's own
// handlers form one chain. The routines here keep that chain free of loops and gaps while views
// come and go.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/data/DataSet.h"

namespace orvel {

// One view's hook on the before-delete or the after-delete event: the view's own handler, the
// handler it stands in for, whether it stands in the event's chain, and the event's accessors.
struct TDeleteHookSlot {
    TDataSetNotifyEvent Hook;
    TDataSetNotifyEvent& Saved;
    bool& Placed;
    const TDataSetNotifyEvent& (TDataSet::*Get)() const;
    void (TDataSet::*Set)(TDataSetNotifyEvent);
};

// Whether a component is a view whose hooks may stand in a chain (the views pass their control
// test: this layer knows no controls).
using TIsHookView = bool (*)(const TComponent* Component);

// The other view of View's form that Handler is bound to, or nil: the hook of another view on
// the dataset, which keeps the handler it stood in for and passes every call on to it.
TComponent* DeleteHookOwner(const TComponent& View, const TDataSetNotifyEvent& Handler,
                            TIsHookView IsView);

// Places View's hook in front of the event's handler. Nothing changes when a hook of the same
// routine stands there already (of two views of one kind the first stands in), nor when another
// view placed itself in front of this view's hook (saving that view's hook would close the chain
// into a loop and lose the application's handler). Answers the view whose hook this view now
// keeps, which the view must watch, else nil.
TComponent* PlaceDeleteHook(TDataSet& DataSet, const TDeleteHookSlot& Slot, const TComponent& View,
                            TIsHookView IsView);

// Puts the saved handler back where View's own hook stands; a handler installed after it stays.
// Behind another view's hook, View steps out of the chain: the saved handler takes that view's
// place until it places itself again (before the next deletion), so the other view never calls
// on a view that is gone.
void RemoveDeleteHook(TDataSet& DataSet, const TDeleteHookSlot& Slot, const TComponent& View,
                      TIsHookView IsView);

} // namespace orvel
