// The root object class, persistent objects that can be assigned, and the class-name lookup the
// form reader and the designer share.
#pragma once

#include <string>

namespace orvel {

struct TClassInfo;

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // The class's published-property information; classes that publish nothing inherit it.
    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
    std::string ClassName() const;
    // True when this object's class is the named class or derives from it.
    bool InheritsFrom(const std::string& className) const;
};

// Objects whose contents can be copied from another object (Assign).
class TPersistent : public TObject {
public:
    // Copies Source into this object; raises EConvertError when the classes do not fit.
    virtual void Assign(TPersistent* source);
    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
    virtual void AssignTo(TPersistent* dest);
};

} // namespace orvel
