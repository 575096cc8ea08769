// The database error and the field-name list reader.
#include "orvel/host/data/DBCommon.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"

namespace orvel {

void DatabaseError(const std::string& message) {
    throw EDatabaseError(message);
}

std::string ExtractFieldName(const std::string& fields, int& pos) {
    std::size_t start = pos < 1 ? 0 : static_cast<std::size_t>(pos - 1);
    std::size_t end = start;
    while (end < fields.size() && fields[end] != ';')
        ++end;
    std::string name =
        Trim(fields.substr(start < fields.size() ? start : fields.size(), end - start));
    if (end < fields.size()) ++end; // past the separator
    pos = static_cast<int>(end) + 1;
    return name;
}

} // namespace orvel
