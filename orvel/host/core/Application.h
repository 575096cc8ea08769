// The application object: window handles, the message queue (PostMessage, SendMessage,
// ProcessMessages) and the display of exceptions that reach the message loop.
#pragma once

#include "orvel/host/core/Events.h"
#include "orvel/host/core/Messages.h"

#include <deque>
#include <exception>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvel {

// Whatever owns a window handle: it receives the messages sent or posted to it.
class TWindowTarget {
public:
    virtual ~TWindowTarget() = default;
    virtual void DispatchWindowMessage(TMessage& message) = 0;
};

class TApplication {
public:
    TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Window handles. Handles are never reused, so a message queued for a destroyed window can
    // never reach a window created later.
    HWND AllocateHandle(TWindowTarget* target);
    void DeallocateHandle(HWND handle);
    bool IsWindow(HWND handle) const;
    TWindowTarget* FindTarget(HWND handle) const;

    // Queues a message; false (nothing queued) for a handle that does not exist, or while posting
    // is refused (RefusePosts, for tests of a full queue).
    bool PostMessage(HWND handle, UINT msg, WPARAM wparam, LPARAM lparam);
    // Dispatches at once and answers the message's result; 0 for a handle that does not exist.
    LRESULT SendMessage(HWND handle, UINT msg, WPARAM wparam, LPARAM lparam);
    // Looks at the first queued message for the handle (0: any) within [first, last] (0, 0: all),
    // removing it when remove is set.
    bool PeekMessage(TMsg& msg, HWND handle, UINT first, UINT last, bool remove);

    // Dispatches every queued message in order, also those posted meanwhile, until the queue is
    // empty; messages for destroyed windows are dropped. An exception from a handler is shown
    // (ShowException) and the loop goes on. Answers the number dispatched.
    int ProcessMessages();
    // Dispatches the first queued message; false when the queue was empty.
    bool HandleOneMessage();
    std::size_t QueuedCount() const { return FQueue.size(); }
    std::vector<TMsg> QueuedMessages() const { return {FQueue.begin(), FQueue.end()}; }
    void ClearQueue() { FQueue.clear(); }

    void RefusePosts(bool refuse) { FRefusePosts = refuse; }

    // The host's display of an exception that reached the loop: OnException when assigned, else
    // the message is kept in ShownErrors (the explorer shows it in its message line).
    void ShowException(const std::exception& e);
    void HandleException(); // call inside a catch block
    TEvent<void(const std::string&)> OnException;
    std::vector<std::string> ShownErrors;

    // The window that has the keyboard focus and the one that has captured the mouse.
    HWND Focus() const { return FFocus; }
    void SetFocusHandle(HWND handle) { FFocus = handle; }
    HWND Capture() const { return FCapture; }
    void SetCaptureHandle(HWND handle) { FCapture = handle; }

private:
    void Dispatch(HWND handle, TMessage& message);

    std::unordered_map<HWND, TWindowTarget*> FWindows;
    std::deque<TMsg> FQueue;
    HWND FNextHandle = 0x100;
    HWND FFocus = 0;
    HWND FCapture = 0;
    bool FRefusePosts = false;
};

// The one application object.
TApplication& Application();

inline bool PostMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
    return Application().PostMessage(h, msg, w, l);
}
inline LRESULT SendMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
    return Application().SendMessage(h, msg, w, l);
}

} // namespace orvel
