// The engine gate shared by every connection, and small SQL text helpers.
#include "orvel/host/data/sql/SqlEngine.h"

#include "orvel/host/core/Exceptions.h"

namespace orvel {

void TSqlConnection::Gate(TSqlCall call) {
    ++FCallCount;
    if (!FFaultHook) return;
    if (std::optional<TSqlFault> fault = FFaultHook(call, FCallCount))
        RaiseEngineError(fault->Message);
}

void RaiseEngineError(const std::string& message) {
    throw EDatabaseError(message);
}

std::string QuoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace orvel
