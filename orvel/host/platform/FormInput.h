// Delivering platform events to a plain host form as the message loop would: mouse messages to
// the window holding the capture or the one under the mouse, key and character messages to the
// focused control, a new client size to the form. With it a simple application form works in a
// window without any application code between the platform and the controls.
#pragma once

#include "orvel/host/controls/Forms.h"
#include "orvel/host/platform/Platform.h"

namespace orvel::platform {

class TFormInput {
public:
    explicit TFormInput(TCustomForm& form) : FForm(form) {}
    // Sends the messages of one event; answers whether the event asks the form to close
    // (Quit). An exception a control raises goes to the application's exception handler.
    bool Deliver(const TPlatformEvent& event);

private:
    void SendMouse(const TPlatformEvent& event, UINT msg);
    void Key(const TPlatformEvent& event, bool down);
    void Text(const TPlatformEvent& event);
    TWinControl* KeyTarget() const;

    TCustomForm& FForm;
    WPARAM FButtons = 0;
};

} // namespace orvel::platform
