// Windows, events, timers and the clipboard through SDL2. A window keeps one texture the size of
// the form; presenting updates only the damaged rectangle of it and then shows the texture.
#include "orvel/host/platform/SdlPlatform.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/platform/SdlEvents.h"

#include <SDL.h>

#include <algorithm>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <vector>

namespace orvel::platform {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw EInvalidOperation(what + ": " + SDL_GetError());
}

class TSdlWindow : public TPlatformWindow {
public:
    TSdlWindow(const std::string& title, int width, int height, int scale) : FScale(scale) {
        FWindow = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   width * scale, height * scale,
                                   SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
        if (!FWindow) Fail("cannot open a window");
        FRenderer = SDL_CreateRenderer(FWindow, -1, 0);
        if (!FRenderer) FRenderer = SDL_CreateRenderer(FWindow, -1, SDL_RENDERER_SOFTWARE);
        if (!FRenderer) {
            SDL_DestroyWindow(FWindow);
            Fail("cannot draw in the window");
        }
        SDL_StartTextInput();
    }
    ~TSdlWindow() override {
        if (FTexture) SDL_DestroyTexture(FTexture);
        SDL_DestroyRenderer(FRenderer);
        SDL_DestroyWindow(FWindow);
    }

    void SetTitle(const std::string& title) override { SDL_SetWindowTitle(FWindow, title.c_str()); }

    TSize ClientSize() const override {
        int w = 0, h = 0;
        SDL_GetWindowSize(FWindow, &w, &h);
        return {w / FScale, h / FScale};
    }

    int Scale() const override { return FScale; }

    void Present(const TBitmap& pixels, const TRect& damaged) override {
        if (pixels.Empty()) return;
        TRect r = damaged;
        if (!FTexture || FTextureWidth != pixels.Width() || FTextureHeight != pixels.Height()) {
            // A new size: the whole picture goes to a new texture.
            NewTexture(pixels.Width(), pixels.Height());
            r = {0, 0, pixels.Width(), pixels.Height()};
        }
        r.Left = std::max(r.Left, 0);
        r.Top = std::max(r.Top, 0);
        r.Right = std::min(r.Right, pixels.Width());
        r.Bottom = std::min(r.Bottom, pixels.Height());
        if (r.Right > r.Left && r.Bottom > r.Top) {
            // ABGR8888 packs a pixel as 0xAABBGGRR: the bitmap's own 0x00BBGGRR, alpha unused.
            SDL_Rect rect{r.Left, r.Top, r.Width(), r.Height()};
            const uint32_t* first = pixels.ScanLine(r.Top) + r.Left;
            SDL_UpdateTexture(FTexture, &rect, first, pixels.Width() * 4);
        }
        Show();
    }

    bool Screenshot(TBitmap& into) override {
        if (!FTexture) return false;
        int w = 0, h = 0;
        if (SDL_GetRendererOutputSize(FRenderer, &w, &h) != 0) return false;
        std::vector<uint32_t> window(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        // The frame is drawn again and read before it is shown, while the drawing buffer holds it.
        Draw();
        int rc = SDL_RenderReadPixels(FRenderer, nullptr, SDL_PIXELFORMAT_ABGR8888, window.data(),
                                      w * 4);
        SDL_RenderPresent(FRenderer);
        if (rc != 0) return false;
        int fw = w / FScale, fh = h / FScale;
        into.SetSize(fw, fh);
        for (int y = 0; y < fh; ++y) {
            uint32_t* row = into.ScanLine(y);
            const uint32_t* source = window.data() + static_cast<std::size_t>(y * FScale) * w;
            for (int x = 0; x < fw; ++x)
                row[x] = source[x * FScale] & 0x00FFFFFFu;
        }
        return true;
    }

private:
    void NewTexture(int width, int height) {
        if (FTexture) SDL_DestroyTexture(FTexture);
        FTexture = SDL_CreateTexture(FRenderer, SDL_PIXELFORMAT_ABGR8888,
                                     SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!FTexture) Fail("cannot make the window's picture");
        SDL_SetTextureBlendMode(FTexture, SDL_BLENDMODE_NONE);
        FTextureWidth = width;
        FTextureHeight = height;
    }

    void Draw() {
        SDL_SetRenderDrawColor(FRenderer, 0, 0, 0, 255);
        SDL_RenderClear(FRenderer);
        SDL_Rect dest{0, 0, FTextureWidth * FScale, FTextureHeight * FScale};
        SDL_RenderCopy(FRenderer, FTexture, nullptr, &dest);
    }

    void Show() {
        Draw();
        SDL_RenderPresent(FRenderer);
    }

    SDL_Window* FWindow = nullptr;
    SDL_Renderer* FRenderer = nullptr;
    SDL_Texture* FTexture = nullptr;
    int FTextureWidth = 0;
    int FTextureHeight = 0;
    int FScale = 1;
};

Uint32 PostTimerEvent(Uint32 interval, void* param);

class TSdlPlatform : public TPlatform {
public:
    TSdlPlatform() {
        // Nearest-neighbour scaling keeps each form pixel a sharp block at any scale.
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) Fail("cannot reach the display");
        FTimerEvent = SDL_RegisterEvents(1);
    }
    ~TSdlPlatform() override {
        for (auto& [id, sdlId] : FTimers)
            SDL_RemoveTimer(sdlId);
        KeepWindowSystemLoaded();
        SDL_Quit();
    }

    std::unique_ptr<TPlatformWindow> CreateWindow(const std::string& title, int width, int height,
                                                  int scale) override {
        FScale = scale > 0 ? scale : DisplayScale();
        return std::make_unique<TSdlWindow>(title, width, height, FScale);
    }

    bool WaitEvent(TPlatformEvent& event, int timeoutMs) override {
        Uint32 start = SDL_GetTicks();
        for (;;) {
            SDL_Event e;
            int left = timeoutMs < 0
                           ? -1
                           : std::max(0, timeoutMs - static_cast<int>(SDL_GetTicks() - start));
            int got = left < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, left);
            if (!got) return false;
            TSdlContext context;
            context.Scale = FScale;
            context.Modifiers = static_cast<Uint16>(SDL_GetModState());
            context.Buttons = SDL_GetMouseState(nullptr, nullptr);
            context.TimerEventType = FTimerEvent;
            if (TranslateSdlEvent(e, context, event)) return true;
            if (timeoutMs >= 0 && static_cast<int>(SDL_GetTicks() - start) >= timeoutMs)
                return false;
        }
    }

    std::string ClipboardText() override {
        char* text = SDL_GetClipboardText();
        std::string result = text ? text : "";
        SDL_free(text);
        return result;
    }

    void SetClipboardText(const std::string& text) override { SDL_SetClipboardText(text.c_str()); }

    int StartTimer(int intervalMs) override {
        int id = ++FLastTimer;
        SDL_TimerID sdlId = SDL_AddTimer(static_cast<Uint32>(std::max(1, intervalMs)),
                                         PostTimerEvent, this->TimerParam(id));
        if (sdlId == 0) Fail("cannot start a timer");
        FTimers[id] = sdlId;
        return id;
    }

    void StopTimer(int id) override {
        auto it = FTimers.find(id);
        if (it == FTimers.end()) return;
        SDL_RemoveTimer(it->second);
        FTimers.erase(it);
    }

    int DisplayScale() const override {
        float dpi = 0;
        if (SDL_GetDisplayDPI(0, &dpi, nullptr, nullptr) != 0) return 1;
        return ScaleForDpi(dpi);
    }

    Uint32 TimerEvent() const { return FTimerEvent; }

    // SDL loads parts of the window system itself (the GL drivers) and unloads them as it
    // stops; what they keep until exit would then be reported by a leak checker at addresses no
    // library holds any more. One more reference to every library loaded keeps their names in
    // such reports.
    static void KeepWindowSystemLoaded() {
        dl_iterate_phdr(
            [](dl_phdr_info* info, std::size_t, void*) {
                if (info->dlpi_name && info->dlpi_name[0])
                    dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD);
                return 0;
            },
            nullptr);
    }

private:
    // The timer's id travels in the callback's pointer argument, so the callback (on SDL's
    // timer thread) touches nothing of the platform but the event type, set before any timer.
    void* TimerParam(int id) {
        FTimerParams[id] = {FTimerEvent, id};
        return &FTimerParams[id];
    }

public:
    struct TTimerParam {
        Uint32 EventType;
        int Id;
    };

private:
    int FScale = 1;
    Uint32 FTimerEvent = 0;
    int FLastTimer = 0;
    std::map<int, SDL_TimerID> FTimers;
    std::map<int, TTimerParam> FTimerParams;
};

Uint32 PostTimerEvent(Uint32 interval, void* param) {
    const auto* timer = static_cast<const TSdlPlatform::TTimerParam*>(param);
    SDL_Event e{};
    e.type = timer->EventType;
    e.user.code = timer->Id;
    SDL_PushEvent(&e);
    return interval;
}

} // namespace

std::unique_ptr<TPlatform> CreateSdlPlatform() {
    return std::make_unique<TSdlPlatform>();
}

} // namespace orvel::platform
