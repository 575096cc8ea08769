// Platform services.
#include "orvel/host/core/Platform.h"

#include "orvel/host/core/Messages.h"

#include <chrono>

namespace orvel {

namespace {

int DefaultMetric(int index, int width, int height) {
    switch (index) {
    case SM_CXSCREEN:
        return width;
    case SM_CYSCREEN:
        return height;
    case SM_CXVSCROLL:
        return 16;
    case SM_CYHSCROLL:
        return 16;
    case SM_CYCAPTION:
        return 18;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    default:
        return 0;
    }
}

TSystemPlatform& SystemPlatform() {
    static TSystemPlatform system;
    return system;
}

TPlatformServices* gInstalled = nullptr;

} // namespace

uint32_t TSystemPlatform::GetTickCount() const {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int TSystemPlatform::GetSystemMetrics(int index) const {
    return DefaultMetric(index, FWidth, FHeight);
}

void TSystemPlatform::MessageBeep(uint32_t) {
    ++FBeeps;
}

TTestPlatform::TTestPlatform() = default;

int TTestPlatform::GetSystemMetrics(int index) const {
    auto it = FMetrics.find(index);
    return it != FMetrics.end() ? it->second : DefaultMetric(index, FWidth, FHeight);
}

TPlatformServices& Platform() {
    return gInstalled ? *gInstalled : SystemPlatform();
}

void SetPlatform(TPlatformServices* services) {
    gInstalled = services;
}

} // namespace orvel
