// The root object class and persistent assignment.
#include "orvel/host/core/Object.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/TypInfo.h"

namespace orvel {

const TClassInfo& TObject::StaticClassInfo() {
    static const TClassInfo info{"TObject", nullptr, {}, {}};
    return info;
}

std::string TObject::ClassName() const {
    return ClassInfo().Name;
}

bool TObject::InheritsFrom(const std::string& className) const {
    return ClassInfo().InheritsFrom(className);
}

const TClassInfo& TPersistent::StaticClassInfo() {
    static const TClassInfo info{"TPersistent", &TObject::StaticClassInfo(), {}, {}};
    return info;
}

void TPersistent::Assign(TPersistent* source) {
    if (source) {
        source->AssignTo(this);
        return;
    }
    AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) {
    std::string from = this == dest ? std::string("nil") : ClassName();
    throw EConvertError("Cannot assign a " + from + " to a " + dest->ClassName());
}

} // namespace orvel
