// Variant values, arrays, comparison and conversions.
#include "orvel/host/core/Variant.h"

#include "orvel/host/core/ArrayBlocks.h"
#include "orvel/host/core/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

namespace orvel {

struct TVarStringData {
    int32_t Refs;
    std::string Text;
};

// An array's header and its items in one block: the items follow the header directly. The first
// dimension varies fastest, the last slowest. The item count is not kept (it follows from the
// bounds), and a single dimension (every key vector) is kept in the header, more dimensions in a
// block of their own: the header of a key vector takes 16 bytes, so that a one-item key takes a
// 32-byte block.
struct TVarArrayData {
    int32_t Refs;
    TVarType ElementType;
    uint16_t DimCount;
    union {
        TVarArrayBound One{};
        TVarArrayBound* Many;
    };

    std::span<TVarArrayBound> Bounds() { return {DimCount > 1 ? Many : &One, DimCount}; }
    std::span<const TVarArrayBound> Bounds() const {
        return {DimCount > 1 ? Many : &One, DimCount};
    }
    std::size_t Count() const {
        if (DimCount == 1) return static_cast<std::size_t>(One.ElementCount());
        if (DimCount == 0) return 0;
        std::size_t count = 1;
        for (const TVarArrayBound& b : Bounds())
            count *= static_cast<std::size_t>(b.ElementCount());
        return count;
    }
    Variant* begin() { return reinterpret_cast<Variant*>(this + 1); }
    const Variant* begin() const { return reinterpret_cast<const Variant*>(this + 1); }
    Variant* end() { return begin() + Count(); }
    const Variant* end() const { return begin() + Count(); }
    Variant& operator[](std::size_t i) { return begin()[i]; }
    const Variant& operator[](std::size_t i) const { return begin()[i]; }

    static constexpr std::size_t MaxDims = std::numeric_limits<uint16_t>::max();
    static std::size_t BlockBytes(std::size_t count) {
        return sizeof(TVarArrayData) + count * sizeof(Variant);
    }
    // A block for count Empty items, referenced once (at most MaxDims dimensions).
    static TVarArrayData* New(TVarType elementType, std::span<const TVarArrayBound> bounds,
                              std::size_t count) {
        if (count > (std::numeric_limits<std::size_t>::max() - sizeof(TVarArrayData)) /
                        sizeof(Variant) ||
            bounds.size() > MaxDims)
            throw std::bad_alloc();
        std::unique_ptr<TVarArrayBound[]> many;
        if (bounds.size() > 1) {
            many = std::make_unique<TVarArrayBound[]>(bounds.size());
            std::copy(bounds.begin(), bounds.end(), many.get());
        }
        auto* d = new (AllocateArrayBlock(BlockBytes(count))) TVarArrayData;
        d->Refs = 1;
        d->ElementType = elementType;
        d->DimCount = static_cast<uint16_t>(bounds.size());
        if (many)
            d->Many = many.release();
        else if (!bounds.empty())
            d->One = bounds[0];
        for (Variant* item = d->begin(); item != d->end(); ++item)
            new (item) Variant();
        return d;
    }
    static void Free(TVarArrayData* d) noexcept {
        const std::size_t count = d->Count();
        for (Variant* item = d->begin(); item != d->end(); ++item)
            item->~Variant();
        if (d->DimCount > 1) delete[] d->Many;
        d->~TVarArrayData();
        ReleaseArrayBlock(d, BlockBytes(count));
    }
};
static_assert(std::is_trivially_destructible_v<TVarArrayData>);
static_assert(sizeof(TVarArrayData) % alignof(Variant) == 0, "items follow the header aligned");
static_assert(sizeof(TVarArrayData) == 16, "a one-item key vector fits a 32-byte block");

// Private access to a Variant's payload for the array routines below.
struct TVarArrayAccess {
    static TVarArrayData* Data(const Variant& v) { return v.IsArray() ? v.FArray : nullptr; }
    static TVarArrayData* Unshared(Variant& v) {
        TVarArrayData* d = v.FArray;
        if (d->Refs > 1) {
            TVarArrayData* copy = TVarArrayData::New(d->ElementType, d->Bounds(), d->Count());
            std::copy(d->begin(), d->end(), copy->begin());
            --d->Refs;
            v.FArray = copy;
            d = copy;
        }
        return d;
    }
    static Variant Make(TVarArrayData* d) {
        Variant v;
        v.FType = static_cast<TVarType>(varArray | d->ElementType);
        v.FArray = d;
        return v;
    }
    static const std::string& Text(const Variant& v) { return v.FString->Text; }
    static int64_t Int(const Variant& v) { return v.FInt; }
    static double Dbl(const Variant& v) { return v.FDouble; }
    static Variant MakeDate(TDateTime d) {
        Variant v;
        v.FType = varDate;
        v.FDouble = d;
        return v;
    }
    static Variant MakeInt(TVarType t, int64_t i) {
        Variant v;
        v.FType = t;
        v.FInt = i;
        return v;
    }
    static Variant MakeNull() {
        Variant v;
        v.FType = varNull;
        return v;
    }
};

namespace {

using A = TVarArrayAccess;

bool IsIntegerType(TVarType t) {
    switch (t) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean:
        return true;
    default:
        return false;
    }
}

bool IsFloatType(TVarType t) {
    return t == varDouble || t == varSingle || t == varCurrency || t == varDate;
}

bool IsNumericType(TVarType t) {
    return IsIntegerType(t) || IsFloatType(t);
}

[[noreturn]] void CastError(TVarType from, TVarType to) {
    RaiseRes<EConvertError>(SVarTypeCastError, {VarTypeName(from), VarTypeName(to)});
}

[[noreturn]] void NotArray() {
    RaiseRes<EVariantError>(SVarNotArray);
}
[[noreturn]] void BoundsError() {
    RaiseRes<EVariantError>(SVarArrayBounds);
}

double RoundHalfEven(double d) {
    return std::nearbyint(d);
}

int64_t CheckedToInt64(double d, TVarType from) {
    double r = RoundHalfEven(d);
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) CastError(from, varInt64);
    return static_cast<int64_t>(r);
}

int64_t RangeFor(TVarType t, int64_t v, TVarType from) {
    auto check = [&](int64_t lo, int64_t hi) {
        if (v < lo || v > hi) CastError(from, t);
        return v;
    };
    switch (t) {
    case varSmallint:
        return check(INT16_MIN, INT16_MAX);
    case varInteger:
        return check(INT32_MIN, INT32_MAX);
    case varShortInt:
        return check(INT8_MIN, INT8_MAX);
    case varByte:
        return check(0, UINT8_MAX);
    case varWord:
        return check(0, UINT16_MAX);
    case varLongWord:
        return check(0, UINT32_MAX);
    default:
        return v;
    }
}

std::size_t FlatIndex(const TVarArrayData& d, std::initializer_list<int32_t> indices) {
    if (indices.size() != d.Bounds().size()) BoundsError();
    std::size_t flat = 0, stride = 1;
    std::size_t dim = 0;
    for (int32_t index : indices) {
        const TVarArrayBound& b = d.Bounds()[dim++];
        if (index < b.LowBound || index > b.HighBound) BoundsError();
        flat += static_cast<std::size_t>(index - b.LowBound) * stride;
        stride *= static_cast<std::size_t>(b.ElementCount());
    }
    return flat;
}

Variant ZeroOf(TVarType elementType) {
    if (elementType == varEmpty || elementType == varVariant) return Variant();
    if (elementType == varString) return Variant(std::string());
    if (IsFloatType(elementType))
        return elementType == varDate ? Variant::FromDate(0) : VarAsType(Variant(0.0), elementType);
    return Variant::FromInteger(elementType, 0);
}

Variant StoredElement(TVarType elementType, const Variant& value) {
    if (elementType == varEmpty || elementType == varVariant) return value;
    return VarAsType(value, elementType);
}

} // namespace

// ---- life -------------------------------------------------------------------------------------

void Variant::AddRef() const noexcept {
    if (FType == varString)
        ++FString->Refs;
    else
        ++FArray->Refs;
}

void Variant::ReleaseShared() noexcept {
    if (FType == varString) {
        if (--FString->Refs == 0) delete FString;
    } else {
        if (--FArray->Refs == 0) TVarArrayData::Free(FArray);
    }
}

Variant::Variant(const std::string& v)
    : FType(varString), FPad{}, FString(new TVarStringData{1, v}) {}
Variant::Variant(const char* v) : Variant(std::string(v ? v : "")) {}

void Variant::AssignString(std::string_view text) {
    if (FType == varString && FString->Refs == 1) {
        FString->Text.assign(text);
        return;
    }
    auto* data = new TVarStringData{1, std::string(text)};
    Release();
    FType = varString;
    FString = data;
}

Variant Variant::Null() noexcept {
    return A::MakeNull();
}
Variant Variant::FromDate(TDateTime v) noexcept {
    return A::MakeDate(v);
}
Variant Variant::FromWord(uint16_t v) noexcept {
    return A::MakeInt(varWord, v);
}
Variant Variant::FromInteger(TVarType t, int64_t v) {
    if (!IsIntegerType(t) || t == varBoolean) CastError(varInt64, t);
    return A::MakeInt(t, RangeFor(t, v, varInt64));
}

// ---- conversions ------------------------------------------------------------------------------

// The value as a whole number; errors name the requested type.
static int64_t IntegerOf(const Variant& v, TVarType requested) {
    TVarType t = v.VarType();
    if (IsIntegerType(t)) return A::Int(v);
    if (IsFloatType(t)) return CheckedToInt64(A::Dbl(v), t);
    if (t == varEmpty) return 0;
    if (t == varString) {
        int64_t i = 0;
        if (TryStrToInt64(A::Text(v), i)) return i;
        double d = 0;
        if (TryStrToFloat(A::Text(v), d)) return CheckedToInt64(d, t);
    }
    CastError(t, requested);
}

int64_t Variant::AsInt64() const {
    return IntegerOf(*this, varInt64);
}

int32_t Variant::AsInteger() const {
    int64_t v = IntegerOf(*this, varInteger);
    if (v < INT32_MIN || v > INT32_MAX) CastError(FType, varInteger);
    return static_cast<int32_t>(v);
}

double Variant::AsDouble() const {
    if (IsIntegerType(FType)) return static_cast<double>(FInt);
    if (IsFloatType(FType)) return FDouble;
    if (FType == varEmpty) return 0;
    if (FType == varString) {
        double d = 0;
        if (TryStrToFloat(FString->Text, d)) return d;
    }
    CastError(FType, varDouble);
}

bool Variant::AsBoolean() const {
    if (IsIntegerType(FType)) return FInt != 0;
    if (IsFloatType(FType)) return FDouble != 0;
    if (FType == varEmpty) return false;
    if (FType == varString) {
        const std::string& s = FString->Text;
        if (SameText(s, "True")) return true;
        if (SameText(s, "False")) return false;
        double d = 0;
        if (TryStrToFloat(s, d)) return d != 0;
    }
    CastError(FType, varBoolean);
}

TDateTime Variant::AsDateTime() const {
    if (IsNumericType(FType) && FType != varBoolean) return AsDouble();
    if (FType == varEmpty) return 0;
    if (FType == varString) {
        TDateTime d = 0;
        if (TryStrToDateTime(FString->Text, d)) return d;
        if (TryStrToFloat(FString->Text, d)) return d;
    }
    CastError(FType, varDate);
}

std::string Variant::AsString() const {
    switch (FType) {
    case varEmpty:
    case varNull:
        return std::string();
    case varString:
        return FString->Text;
    case varBoolean:
        return FInt ? "True" : "False";
    case varDate:
        return DateTimeToStr(FDouble);
    case varDouble:
    case varSingle:
    case varCurrency:
        return FloatToStr(FDouble);
    default:
        if (IsIntegerType(FType)) return IntToStr(FInt);
        CastError(FType, varString);
    }
}

const Variant& Variant::operator[](int32_t index) const {
    const TVarArrayData* d = A::Data(*this);
    if (!d) NotArray();
    return (*d)[FlatIndex(*d, {index})];
}

std::string VarTypeName(TVarType t) {
    if (t & varArray) return "Array of " + VarTypeName(static_cast<TVarType>(t & varTypeMask));
    switch (t) {
    case varEmpty:
        return "Empty";
    case varNull:
        return "Null";
    case varSmallint:
        return "Smallint";
    case varInteger:
        return "Integer";
    case varSingle:
        return "Single";
    case varDouble:
        return "Double";
    case varCurrency:
        return "Currency";
    case varDate:
        return "Date";
    case varBoolean:
        return "Boolean";
    case varVariant:
        return "Variant";
    case varShortInt:
        return "ShortInt";
    case varByte:
        return "Byte";
    case varWord:
        return "Word";
    case varLongWord:
        return "LongWord";
    case varInt64:
        return "Int64";
    case varString:
        return "String";
    default:
        return "Unknown";
    }
}

bool VarIsNull(const Variant& v) {
    return v.IsNull();
}
bool VarIsEmpty(const Variant& v) {
    return v.IsEmpty();
}
bool VarIsClear(const Variant& v) {
    return v.IsClear();
}
bool VarIsArray(const Variant& v) {
    return v.IsArray();
}
std::string VarToStr(const Variant& v) {
    return v.AsString();
}

Variant VarAsType(const Variant& v, TVarType t) {
    if (v.VarType() == t) return v;
    switch (t) {
    case varEmpty:
        return Variant();
    case varNull:
        return Variant::Null();
    case varString:
        return Variant(v.AsString());
    case varBoolean:
        return Variant(v.AsBoolean());
    case varDate:
        return Variant::FromDate(v.AsDateTime());
    case varDouble:
    case varSingle:
    case varCurrency:
        return Variant(v.AsDouble());
    case varVariant:
        return v;
    default:
        if (IsIntegerType(t)) {
            if (v.IsNull() || v.IsArray()) CastError(v.VarType(), t);
            return A::MakeInt(t, RangeFor(t, v.AsInt64(), v.VarType()));
        }
        CastError(v.VarType(), t);
    }
}

// ---- comparison -------------------------------------------------------------------------------

namespace {

template <class T> TVariantRelationship Relate(T a, T b) {
    if (a == b) return TVariantRelationship::vrEqual;
    return a < b ? TVariantRelationship::vrLessThan : TVariantRelationship::vrGreaterThan;
}

TVariantRelationship CompareArrays(const Variant& a, const Variant& b) {
    const TVarArrayData* x = A::Data(a);
    const TVarArrayData* y = A::Data(b);
    if (x->Bounds().size() != y->Bounds().size()) return TVariantRelationship::vrNotEqual;
    for (std::size_t i = 0; i < x->Bounds().size(); ++i)
        if (x->Bounds()[i].LowBound != y->Bounds()[i].LowBound ||
            x->Bounds()[i].HighBound != y->Bounds()[i].HighBound)
            return TVariantRelationship::vrNotEqual;
    for (std::size_t i = 0, n = x->Count(); i < n; ++i)
        if (VarCompareValue((*x)[i], (*y)[i]) != TVariantRelationship::vrEqual)
            return TVariantRelationship::vrNotEqual;
    return TVariantRelationship::vrEqual;
}

} // namespace

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b) {
    TVarType ta = a.VarType(), tb = b.VarType();
    if (ta == varEmpty || tb == varEmpty || ta == varNull || tb == varNull)
        return ta == tb ? TVariantRelationship::vrEqual : TVariantRelationship::vrNotEqual;
    if (a.IsArray() || b.IsArray())
        return a.IsArray() && b.IsArray() ? CompareArrays(a, b) : TVariantRelationship::vrNotEqual;
    if (ta == varString && tb == varString) {
        int c = A::Text(a).compare(A::Text(b));
        return c == 0 ? TVariantRelationship::vrEqual
                      : (c < 0 ? TVariantRelationship::vrLessThan
                               : TVariantRelationship::vrGreaterThan);
    }
    if (IsIntegerType(ta) && IsIntegerType(tb)) return Relate(A::Int(a), A::Int(b));
    if (IsNumericType(ta) && IsNumericType(tb)) return Relate(a.AsDouble(), b.AsDouble());
    // A string against a number compares by the string's numeric value when it has one.
    double x = 0, y = 0;
    const Variant& s = ta == varString ? a : b;
    if (!TryStrToFloat(A::Text(s), ta == varString ? x : y))
        return TVariantRelationship::vrNotEqual;
    if (ta == varString)
        y = b.AsDouble();
    else
        x = a.AsDouble();
    return Relate(x, y);
}

bool VarSameValue(const Variant& a, const Variant& b) {
    return VarCompareValue(a, b) == TVariantRelationship::vrEqual;
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.VarType() != b.VarType()) return false;
    if (a.IsArray()) {
        const TVarArrayData* x = A::Data(a);
        const TVarArrayData* y = A::Data(b);
        if (x == y) return true;
        if (x->Bounds().size() != y->Bounds().size()) return false;
        for (std::size_t i = 0; i < x->Bounds().size(); ++i)
            if (x->Bounds()[i].LowBound != y->Bounds()[i].LowBound ||
                x->Bounds()[i].HighBound != y->Bounds()[i].HighBound)
                return false;
        for (std::size_t i = 0, n = x->Count(); i < n; ++i)
            if (!((*x)[i] == (*y)[i])) return false;
        return true;
    }
    return VarSameValue(a, b);
}

std::size_t VarHash(const Variant& v) {
    std::size_t h = std::hash<uint16_t>()(v.VarType());
    auto mix = [&h](std::size_t x) { h ^= x + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    TVarType t = v.VarType();
    if (v.IsArray()) {
        const TVarArrayData* d = A::Data(v);
        for (const TVarArrayBound& b : d->Bounds())
            mix(static_cast<std::size_t>(b.LowBound) * 31 + b.HighBound);
        for (const Variant& item : *d)
            mix(VarHash(item));
    } else if (t == varString) {
        mix(std::hash<std::string>()(A::Text(v)));
    } else if (IsIntegerType(t)) {
        mix(std::hash<int64_t>()(A::Int(v)));
    } else if (IsFloatType(t)) {
        double d = A::Dbl(v);
        mix(std::hash<double>()(d == 0 ? 0.0 : d));
    }
    return h;
}

// ---- arrays -----------------------------------------------------------------------------------

Variant VarArrayCreate(const std::vector<TVarArrayBound>& bounds, TVarType elementType) {
    if (bounds.empty() || bounds.size() > TVarArrayData::MaxDims || (elementType & varArray))
        BoundsError();
    std::size_t total = 1;
    for (const TVarArrayBound& b : bounds) {
        if (b.HighBound < b.LowBound - 1) BoundsError();
        total *= static_cast<std::size_t>(b.ElementCount());
    }
    Variant zero = ZeroOf(elementType);
    TVarArrayData* d = TVarArrayData::New(elementType, bounds, total);
    std::fill(d->begin(), d->end(), zero);
    return A::Make(d);
}

Variant VarArrayCreate(std::initializer_list<int32_t> bounds, TVarType elementType) {
    if (bounds.size() == 0 || bounds.size() % 2 != 0) BoundsError();
    std::vector<TVarArrayBound> list;
    for (auto it = bounds.begin(); it != bounds.end(); it += 2)
        list.push_back({it[0], it[1]});
    return VarArrayCreate(list, elementType);
}

Variant VarArrayOf(const std::vector<Variant>& values) {
    return VarArrayOf(values.size(), [&values](std::size_t i) { return values[i]; });
}

Variant VarArrayOf(std::vector<Variant>&& values) {
    return VarArrayOf(values.size(), [&values](std::size_t i) { return std::move(values[i]); });
}

Variant VarArrayOf(std::size_t count, const std::function<Variant(std::size_t)>& item) {
    if (count > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) BoundsError();
    const TVarArrayBound bound{0, static_cast<int32_t>(count) - 1};
    TVarArrayData* d = TVarArrayData::New(varVariant, {&bound, 1}, count);
    Variant result = A::Make(d); // frees the block if making an item throws
    for (std::size_t i = 0; i < count; ++i)
        (*d)[i] = item(i);
    return result;
}

Variant VarArrayOf(std::initializer_list<Variant> values) {
    return VarArrayOf(values.size(), [&values](std::size_t i) { return values.begin()[i]; });
}

void VarArrayRefill(Variant& v, std::size_t count,
                    const std::function<Variant(std::size_t)>& item) {
    VarArrayRefillWith(v, count, item);
}

Variant* VarArrayOwnItems(Variant& v, std::size_t count) {
    TVarArrayData* d = A::Data(v);
    bool reusable = d && d->Refs == 1 && d->ElementType == varVariant && d->Bounds().size() == 1 &&
                    d->Bounds()[0].LowBound == 0 && d->Count() == count;
    if (!reusable) {
        if (count > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) BoundsError();
        const TVarArrayBound bound{0, static_cast<int32_t>(count) - 1};
        v = A::Make(TVarArrayData::New(varVariant, {&bound, 1}, count));
        d = A::Data(v);
    }
    return d->begin();
}

int32_t VarArrayDimCount(const Variant& v) {
    const TVarArrayData* d = A::Data(v);
    return d ? static_cast<int32_t>(d->Bounds().size()) : 0;
}

static const TVarArrayBound& BoundOf(const Variant& v, int32_t dim) {
    const TVarArrayData* d = A::Data(v);
    if (!d) NotArray();
    if (dim < 1 || dim > static_cast<int32_t>(d->Bounds().size())) BoundsError();
    return d->Bounds()[static_cast<std::size_t>(dim - 1)];
}

int32_t VarArrayLowBound(const Variant& v, int32_t dim) {
    return BoundOf(v, dim).LowBound;
}
int32_t VarArrayHighBound(const Variant& v, int32_t dim) {
    return BoundOf(v, dim).HighBound;
}

Variant VarArrayGet(const Variant& v, std::initializer_list<int32_t> indices) {
    const TVarArrayData* d = A::Data(v);
    if (!d) NotArray();
    return (*d)[FlatIndex(*d, indices)];
}

void VarArrayPut(Variant& v, const Variant& value, std::initializer_list<int32_t> indices) {
    if (!v.IsArray()) NotArray();
    std::size_t flat = FlatIndex(*A::Data(v), indices);
    Variant stored = StoredElement(A::Data(v)->ElementType, value);
    (*A::Unshared(v))[flat] = std::move(stored);
}

void VarArrayRedim(Variant& v, int32_t highBound) {
    if (!v.IsArray()) NotArray();
    TVarArrayData* d = A::Data(v);
    const TVarArrayBound& last = d->Bounds().back();
    if (highBound < last.LowBound - 1) BoundsError();
    std::size_t slice = 1;
    for (std::size_t i = 0; i + 1 < d->Bounds().size(); ++i)
        slice *= static_cast<std::size_t>(d->Bounds()[i].ElementCount());
    std::vector<TVarArrayBound> bounds(d->Bounds().begin(), d->Bounds().end());
    bounds.back().HighBound = highBound;
    std::size_t count = slice * static_cast<std::size_t>(bounds.back().ElementCount());
    Variant zero = ZeroOf(d->ElementType);
    // The items live in the header's block, so another size takes a new block; the kept items
    // are moved over and the old block is released with the value's own reference.
    TVarArrayData* resized = TVarArrayData::New(d->ElementType, bounds, count);
    Variant result = A::Make(resized);
    std::size_t kept = std::min(count, d->Count());
    if (d->Refs == 1)
        std::move(d->begin(), d->begin() + kept, resized->begin());
    else
        std::copy(d->begin(), d->begin() + kept, resized->begin());
    std::fill(resized->begin() + kept, resized->end(), zero);
    v = std::move(result);
}

} // namespace orvel
