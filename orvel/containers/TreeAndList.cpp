// Key vectors, TKeysArray and the cursor-restore table.
#include "orvel/containers/TreeAndList.h"

#include <new>

namespace orvel {

namespace {

// Element i of dimension 1 (the other dimensions at their low bounds).
Variant ElementAt(const Variant& v, int32_t i) {
    int32_t dims = VarArrayDimCount(v);
    if (dims == 1) return v[i];
    if (dims == 2) return VarArrayGet(v, {i, VarArrayLowBound(v, 2)});
    if (dims == 3) return VarArrayGet(v, {i, VarArrayLowBound(v, 2), VarArrayLowBound(v, 3)});
    return Variant(); // deeper arrays: only dimension 1 takes part, and its elements read as Empty
}

} // namespace

bool VarEquality(const Variant& v1, const Variant& v2) {
    if (v1.IsArray() && v2.IsArray()) {
        int32_t dims = VarArrayDimCount(v1);
        if (dims != VarArrayDimCount(v2) || dims < 1) return false;
        int32_t low = VarArrayLowBound(v1, 1), high = VarArrayHighBound(v1, 1);
        if (low != VarArrayLowBound(v2, 1) || high != VarArrayHighBound(v2, 1)) return false;
        for (int32_t i = low; i <= high; ++i)
            if (!VarEquality(ElementAt(v1, i), ElementAt(v2, i))) return false;
        return true;
    }
    return v1.VarType() == v2.VarType() && VarSameValue(v1, v2);
}

bool VarIsNullVector(const Variant& v) {
    if (v.VarType() == varArray) {
        int32_t low = VarArrayLowBound(v, 1), high = VarArrayHighBound(v, 1);
        for (int32_t i = low; i <= high; ++i)
            if (!VarIsNullVector(ElementAt(v, i))) return false;
        return true;
    }
    return v.VarType() == varEmpty || v.VarType() == varNull;
}

int32_t VarKeysCount(const Variant& v) {
    return VarArrayHighBound(v, 1) - VarArrayLowBound(v, 1) + 1;
}

int32_t VarIndexOf(const Variant& v, const Variant& value) {
    if (VarArrayDimCount(v) != 1 || value.VarType() == varArray) return -1;
    for (int32_t i = VarArrayHighBound(v, 1); i >= VarArrayLowBound(v, 1); --i) {
        const Variant& element = v[i];
        if (element.VarType() == value.VarType() && VarSameValue(element, value)) return i;
    }
    return -1;
}

void VarKeysDelete(Variant& v, int32_t index) {
    int32_t n = VarKeysCount(v);
    for (int32_t j = index; j <= n - 2; ++j)
        VarArrayPut(v, v[j + 1], {j});
    VarArrayRedim(v, n - 2);
}

// ---- TKeysArray -------------------------------------------------------------------------------

TKeysArray::~TKeysArray() {
    Clear();
}

void TKeysArray::Get(int32_t index, Variant& value) const {
    value = At(index);
}

Variant TKeysArray::Get(int32_t index) const {
    return At(index);
}

void TKeysArray::Put(int32_t index, Variant value) {
    Variant& item = At(index);
    bool wasNull = VarIsNullVector(item);
    bool isNull = VarIsNullVector(value);
    item = std::move(value);
    if (wasNull != isNull) FNullCount += isNull ? 1 : -1;
}

// Slots handed out by the base class hold zero or stale bytes: a Variant is constructed in them,
// never assigned over them.
int32_t TKeysArray::Add(Variant value) {
    bool isNull = VarIsNullVector(value);
    new (TAbstractArray::Add()) Variant(std::move(value));
    if (isNull) ++FNullCount;
    return Count() - 1;
}

void TKeysArray::Insert(int32_t index, Variant value) {
    bool isNull = VarIsNullVector(value);
    new (TAbstractArray::Insert(index)) Variant(std::move(value));
    if (isNull) ++FNullCount;
}

int32_t TKeysArray::Remove(Variant value) {
    int32_t index = TAbstractArray::IndexOf(&value);
    if (index < 0) return -1;
    Variant& item = At(index);
    if (VarIsNullVector(item)) --FNullCount;
    item.~Variant();
    Delete(index);
    return index;
}

int32_t TKeysArray::IndexOf(Variant value) const {
    return TAbstractArray::IndexOf(&value);
}

bool TKeysArray::IsNull(int32_t index) const {
    return IsEmpty(GetPtr(index));
}

void TKeysArray::Disable(int32_t index) {
    Variant& item = At(index);
    if (!VarIsNullVector(item)) ++FNullCount;
    item.Clear();
    if (FNullCount == Count()) {
        ReleaseAll();
        SetCount(0);
        FNullCount = 0;
    }
}

void TKeysArray::ReleaseAll() {
    for (int32_t i = 0; i < Count(); ++i)
        At(i).Clear();
}

void TKeysArray::Clear() {
    ReleaseAll();
    TAbstractArray::Clear();
    FNullCount = 0;
}

bool TKeysArray::IsEqual(const void* item1, const void* item2) const {
    return VarEquality(*static_cast<const Variant*>(item1), *static_cast<const Variant*>(item2));
}

bool TKeysArray::IsEmpty(const void* item) const {
    return VarIsNullVector(*static_cast<const Variant*>(item));
}

// ---- CAMoveCursor ------------------------------------------------------------------------------

void GotoFirst(TDataSet* dataSet, const TBookmark&) { dataSet->First(); }

void GotoLast(TDataSet* dataSet, const TBookmark&) { dataSet->Last(); }

void GotoPointer(TDataSet* dataSet, const TBookmark& bookmark) { dataSet->GotoBookmark(bookmark); }

void DoNotGo(TDataSet*, const TBookmark&) {}

const TMoveCursorProc CAMoveCursor[2][2] = {{GotoPointer, GotoLast}, {GotoFirst, DoNotGo}};

} // namespace orvel
