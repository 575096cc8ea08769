// The application object and its message queue.
#include "orvel/host/core/Application.h"

#include "orvel/host/core/Exceptions.h"

namespace orvel {

TApplication& Application() {
    static TApplication application;
    return application;
}

HWND TApplication::AllocateHandle(TWindowTarget* target) {
    HWND handle = FNextHandle++;
    FWindows[handle] = target;
    return handle;
}

void TApplication::DeallocateHandle(HWND handle) {
    FWindows.erase(handle);
    if (FFocus == handle) FFocus = 0;
    if (FCapture == handle) FCapture = 0;
}

bool TApplication::IsWindow(HWND handle) const {
    return handle != 0 && FWindows.count(handle) != 0;
}

TWindowTarget* TApplication::FindTarget(HWND handle) const {
    auto it = FWindows.find(handle);
    return it == FWindows.end() ? nullptr : it->second;
}

bool TApplication::PostMessage(HWND handle, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (FRefusePosts || !IsWindow(handle)) return false;
    FQueue.push_back(TMsg{handle, msg, wparam, lparam});
    return true;
}

void TApplication::Dispatch(HWND handle, TMessage& message) {
    if (TWindowTarget* target = FindTarget(handle)) target->DispatchWindowMessage(message);
}

LRESULT TApplication::SendMessage(HWND handle, UINT msg, WPARAM wparam, LPARAM lparam) {
    TMessage message{msg, wparam, lparam, 0};
    Dispatch(handle, message);
    return message.Result;
}

bool TApplication::PeekMessage(TMsg& msg, HWND handle, UINT first, UINT last, bool remove) {
    for (auto it = FQueue.begin(); it != FQueue.end(); ++it) {
        if (handle != 0 && it->Handle != handle) continue;
        if ((first != 0 || last != 0) && (it->Message < first || it->Message > last)) continue;
        msg = *it;
        if (remove) FQueue.erase(it);
        return true;
    }
    return false;
}

bool TApplication::HandleOneMessage() {
    if (FQueue.empty()) return false;
    TMsg msg = FQueue.front();
    FQueue.pop_front();
    if (!IsWindow(msg.Handle)) return true; // its window was destroyed meanwhile: dropped
    TMessage message{msg.Message, msg.WParam, msg.LParam, 0};
    try {
        Dispatch(msg.Handle, message);
    } catch (...) {
        HandleException();
    }
    return true;
}

int TApplication::ProcessMessages() {
    int count = 0;
    while (HandleOneMessage())
        ++count;
    return count;
}

void TApplication::ShowException(const std::exception& e) {
    std::string text = e.what();
    if (OnException)
        OnException(text);
    else
        ShownErrors.push_back(text);
}

void TApplication::HandleException() {
    try {
        throw;
    } catch (const EAbort&) {
        // a silent exception: nothing is shown
    } catch (const std::exception& e) {
        ShowException(e);
    }
}

} // namespace orvel
