// Platform services the components use (screen size, tick count, system metrics, message beep),
// behind one interface, with a deterministic implementation for tests.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace orvel {

class TPlatformServices {
public:
    virtual ~TPlatformServices() = default;
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    virtual uint32_t GetTickCount() const = 0; // milliseconds, wrapping at 2^32
    virtual int GetSystemMetrics(int index) const = 0;
    virtual void MessageBeep(uint32_t type) = 0;
};

// Real clock; a 1024x768 screen unless set (the explorer sets its terminal's size in pixels).
class TSystemPlatform : public TPlatformServices {
public:
    int ScreenWidth() const override { return FWidth; }
    int ScreenHeight() const override { return FHeight; }
    uint32_t GetTickCount() const override;
    int GetSystemMetrics(int index) const override;
    void MessageBeep(uint32_t type) override;
    void SetScreenSize(int width, int height) {
        FWidth = width;
        FHeight = height;
    }
    int BeepCount() const { return FBeeps; }

private:
    int FWidth = 1024;
    int FHeight = 768;
    int FBeeps = 0;
};

// Everything settable, the clock moved by hand, beeps recorded.
class TTestPlatform : public TPlatformServices {
public:
    TTestPlatform();
    int ScreenWidth() const override { return FWidth; }
    int ScreenHeight() const override { return FHeight; }
    uint32_t GetTickCount() const override { return FTick; }
    int GetSystemMetrics(int index) const override;
    void MessageBeep(uint32_t type) override { Beeps.push_back(type); }

    void SetScreenSize(int width, int height) {
        FWidth = width;
        FHeight = height;
    }
    void SetTickCount(uint32_t tick) { FTick = tick; }
    void Advance(uint32_t ms) { FTick += ms; }
    void SetSystemMetric(int index, int value) { FMetrics[index] = value; }

    std::vector<uint32_t> Beeps;

private:
    int FWidth = 1024;
    int FHeight = 768;
    uint32_t FTick = 1000;
    std::map<int, int> FMetrics;
};

// The installed services (a TSystemPlatform until another is installed).
TPlatformServices& Platform();
// Installs services (nullptr restores the system ones); the caller keeps ownership.
void SetPlatform(TPlatformServices* services);

// Shorthands for the host routines of the same names.
inline uint32_t GetTickCount() {
    return Platform().GetTickCount();
}
inline int GetSystemMetrics(int index) {
    return Platform().GetSystemMetrics(index);
}
inline void MessageBeep(uint32_t type) {
    Platform().MessageBeep(type);
}

} // namespace orvel
