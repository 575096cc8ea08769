// The desktop explorer's run: a window over the platform, or offscreen.
#include "apps/desktop/DesktopApp.h"

#include "orvel/host/platform/SdlPlatform.h"

#include <iostream>

namespace orvel::desktop {

using explorer::TInputEvent;
using explorer::TInputKind;

TOffscreenExplorer::TOffscreenExplorer(const explorer::TOptions& options)
    : FScreen(options.Columns, options.Rows), FExplorer(options, FScreen) {}

void TOffscreenExplorer::RunScript(const std::string& script) {
    FExplorer.SetDrawMenus(false);
    FExplorer.Start();
    explorer::TScriptInput input(explorer::ParseKeyScript(script));
    bool dumped = false;
    FExplorer.Run(input, [&](const TInputEvent& event) {
        if (event.Kind != TInputKind::Dump) return;
        FFrame.Compose(FExplorer, FScreen, FPicture, 0, 0);
        dumped = true;
    });
    if (dumped) return;
    FExplorer.Render();
    FFrame.Compose(FExplorer, FScreen, FPicture, 0, 0);
}

namespace {

int RunOffscreen(const TDesktopOptions& options) {
    TOffscreenExplorer app(options.Explorer);
    app.RunScript(options.Explorer.Keys);
    app.Picture().SaveToFile(options.Offscreen);
    std::cout << app.Screen().ToText();
    return 0;
}

class TWindowRun {
public:
    explicit TWindowRun(const TDesktopOptions& options)
        : FOptions(options), FScreen(options.Explorer.Columns, options.Explorer.Rows),
          FExplorer(options.Explorer, FScreen) {}

    int Run() {
        FPlatform = platform::CreateSdlPlatform();
        platform::UseSystemClipboard(FPlatform.get());
        struct TRestore {
            ~TRestore() { platform::UseSystemClipboard(nullptr); }
        } restore;
        FExplorer.SetDrawMenus(false);
        FExplorer.Start();
        FWindow =
            FPlatform->CreateWindow(FExplorer.TitleText(), FScreen.Width() * explorer::CellWidth,
                                    FScreen.Height() * explorer::CellHeight, FOptions.Scale);
        Present(true);
        auto after = [this](const TInputEvent& event) {
            Present(event.Kind == TInputKind::Redraw || event.Kind == TInputKind::Resize);
        };
        if (FOptions.Explorer.Scripted) return RunScript(after);
        // A click on a menu painted in pixels chooses the item the explorer's menu has there.
        TWindowInput input(*FPlatform, [this](TInputEvent& event) {
            MenuMouseToCells(*FPicture.Canvas(), FExplorer.OpenMenus(), FPicture.Width(),
                             FPicture.Height(), event);
        });
        FExplorer.Run(input, after);
        return 0;
    }

private:
    int RunScript(const std::function<void(const TInputEvent&)>& after) {
        explorer::TScriptInput input(explorer::ParseKeyScript(FOptions.Explorer.Keys));
        bool dumped = false;
        bool failed = false;
        // A script's steps are not shown one by one: the window shows each <Dump> and the end.
        FExplorer.Run(input, [&](const TInputEvent& event) {
            if (event.Kind != TInputKind::Dump) return;
            after(event);
            dumped = true;
            failed = !TakePictures() || failed;
        });
        if (!dumped) {
            FExplorer.Render();
            Present(false);
            failed = !TakePictures();
        }
        std::cout << FScreen.ToText();
        return failed ? 1 : 0;
    }

    // The window read back, and the same state composed afresh at the window's size.
    bool TakePictures() {
        if (!FOptions.Screenshot.empty()) {
            TBitmap shot;
            if (!FWindow->Screenshot(shot)) {
                std::cerr << "orvel-desktop: the window cannot be read back\n";
                return false;
            }
            shot.SaveToFile(FOptions.Screenshot);
        }
        if (!FOptions.Offscreen.empty()) {
            TDesktopFrame frame;
            TBitmap picture;
            TSize client = FWindow->ClientSize();
            frame.Compose(FExplorer, FScreen, picture, client.cx, client.cy);
            picture.SaveToFile(FOptions.Offscreen);
        }
        return true;
    }

    void Present(bool whole) {
        TSize client = FWindow->ClientSize();
        TRect damaged = FFrame.Compose(FExplorer, FScreen, FPicture, client.cx, client.cy);
        if (whole) damaged = {0, 0, FPicture.Width(), FPicture.Height()};
        FWindow->Present(FPicture, damaged);
        std::string title = FExplorer.TitleText();
        if (title != FTitle) {
            FWindow->SetTitle(title);
            FTitle = title;
        }
    }

    const TDesktopOptions& FOptions;
    explorer::TTextScreen FScreen;
    explorer::TExplorer FExplorer;
    std::unique_ptr<platform::TPlatform> FPlatform;
    std::unique_ptr<platform::TPlatformWindow> FWindow;
    TDesktopFrame FFrame;
    TBitmap FPicture;
    std::string FTitle;
};

} // namespace

int RunDesktop(const TDesktopOptions& options) {
    if (options.Explorer.Scripted && !options.Offscreen.empty() && options.Screenshot.empty())
        return RunOffscreen(options);
    TWindowRun run(options);
    return run.Run();
}

} // namespace orvel::desktop
