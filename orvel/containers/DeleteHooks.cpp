// The chain of delete hooks that views and the application share on a dataset.
#include "orvel/containers/DeleteHooks.h"

namespace orvel {

TComponent* DeleteHookOwner(const TComponent& View, const TDataSetNotifyEvent& Handler,
                            TIsHookView IsView) {
    TComponent* owner = View.Owner();
    if (!Handler || !Handler.Data() || !owner) return nullptr;
    for (int i = 0; i < owner->ComponentCount(); ++i) {
        TComponent* component = owner->Components(i);
        if (component != &View && IsView(component) &&
            dynamic_cast<void*>(component) == Handler.Data())
            return component;
    }
    return nullptr;
}

TComponent* PlaceDeleteHook(TDataSet& DataSet, const TDeleteHookSlot& Slot, const TComponent& View,
                            TIsHookView IsView) {
    const TDataSetNotifyEvent& current = (DataSet.*Slot.Get)();
    if (current.SameRoutine(Slot.Hook)) return nullptr;
    TComponent* view = DeleteHookOwner(View, current, IsView);
    if (Slot.Placed && view) return nullptr;
    Slot.Saved = current;
    (DataSet.*Slot.Set)(Slot.Hook);
    Slot.Placed = true;
    return view;
}

void RemoveDeleteHook(TDataSet& DataSet, const TDeleteHookSlot& Slot, const TComponent& View,
                      TIsHookView IsView) {
    const TDataSetNotifyEvent& current = (DataSet.*Slot.Get)();
    if (current.SameMethod(Slot.Hook))
        (DataSet.*Slot.Set)(Slot.Saved);
    else if (Slot.Placed && DeleteHookOwner(View, current, IsView))
        (DataSet.*Slot.Set)(DeleteHookOwner(View, Slot.Saved, IsView) ? TDataSetNotifyEvent()
                                                                      : Slot.Saved);
    Slot.Saved = TDataSetNotifyEvent();
    Slot.Placed = false;
}

} // namespace orvel
