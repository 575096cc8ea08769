// A scope during which a flag is set: the flag's earlier value comes back when the scope ends,
// however it ends.
#pragma once

namespace orvel {

class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : FFlag(flag), FWas(flag) { FFlag = true; }
    ~TFlagGuard() { FFlag = FWas; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& FFlag;
    bool FWas;
};

} // namespace orvel
