// Variant: the host's self-describing value, with type codes, variant arrays of any dimension
// count and bounds, the host's comparison and conversions.
//
// Layout: exactly 16 bytes, all-zero bytes are the Empty value, and the object may be moved by
// copying its bytes (strings and arrays live behind one pointer). Containers that keep Variants
// as raw 16-byte items (TKeysArray) rely on all three.
#pragma once

#include "orvel/host/core/SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

using TVarType = uint16_t;

// Type codes. A variant array carries varArray or'ed with its element type.
enum : TVarType {
    varEmpty = 0x0000,
    varNull = 0x0001,
    varSmallint = 0x0002,
    varInteger = 0x0003,
    varSingle = 0x0004,
    varDouble = 0x0005,
    varCurrency = 0x0006,
    varDate = 0x0007,
    varBoolean = 0x000B,
    varVariant = 0x000C,
    varShortInt = 0x0010,
    varByte = 0x0011,
    varWord = 0x0012,
    varLongWord = 0x0013,
    varInt64 = 0x0014,
    varString = 0x0100,
    varTypeMask = 0x0FFF,
    varArray = 0x2000,
};

// Low and high bound of one dimension of a variant array (high = low - 1 when it is empty).
struct TVarArrayBound {
    int32_t LowBound = 0;
    int32_t HighBound = -1;
    int32_t ElementCount() const { return HighBound - LowBound + 1; }
};

struct TVarArrayData;
struct TVarStringData;

class Variant {
public:
    Variant() noexcept : FType(varEmpty), FPad{}, FInt(0) {}
    // Copies, moves and the end of a value are inline: readers move scalars by the million, and
    // only a string or an array (shared, counted) needs a call.
    Variant(const Variant& other) noexcept : FType(other.FType), FPad{}, FInt(other.FInt) {
        if (Shares()) AddRef();
    }
    Variant(Variant&& other) noexcept : FType(other.FType), FPad{}, FInt(other.FInt) {
        other.Reset();
    }
    Variant& operator=(const Variant& other) noexcept {
        if (this != &other) {
            // Counted first: the two may share the value this one lets go of.
            if (other.Shares()) other.AddRef();
            Release();
            FType = other.FType;
            FInt = other.FInt;
        }
        return *this;
    }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            Release();
            FType = other.FType;
            FInt = other.FInt;
            other.Reset();
        }
        return *this;
    }
    ~Variant() { Release(); }

    // Typed constructors. A plain int gives a 32-bit integer; a 16-bit or 64-bit integer comes
    // from int16_t and int64_t values (or FromSmallint / FromInt64).
    Variant(int32_t v) noexcept : FType(varInteger), FPad{}, FInt(v) {}
    Variant(int16_t v) noexcept : FType(varSmallint), FPad{}, FInt(v) {}
    Variant(int64_t v) noexcept : FType(varInt64), FPad{}, FInt(v) {}
    Variant(long long v) noexcept : FType(varInt64), FPad{}, FInt(static_cast<int64_t>(v)) {}
    Variant(double v) noexcept : FType(varDouble), FPad{}, FDouble(v) {}
    Variant(bool v) noexcept : FType(varBoolean), FPad{}, FInt(v ? 1 : 0) {}
    Variant(const std::string& v);
    Variant(const char* v);
    template <class T> Variant(T*) = delete; // no silent pointer-to-Boolean conversion

    static Variant Null() noexcept;
    static Variant FromSmallint(int16_t v) noexcept { return Variant(v); }
    static Variant FromInt64(int64_t v) noexcept { return Variant(v); }
    static Variant FromDate(TDateTime v) noexcept;
    static Variant FromWord(uint16_t v) noexcept;
    // A value of integer family type t (varSmallint, varInteger, varInt64, varWord, ...).
    static Variant FromInteger(TVarType t, int64_t v);

    TVarType VarType() const noexcept { return FType; }
    bool IsEmpty() const noexcept { return FType == varEmpty; }
    bool IsNull() const noexcept { return FType == varNull; }
    bool IsClear() const noexcept { return FType == varEmpty; }
    bool IsArray() const noexcept { return (FType & varArray) != 0; }

    // Conversions; each raises EConvertError when the value has no such form.
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    double AsDouble() const;
    bool AsBoolean() const;
    TDateTime AsDateTime() const;
    // Empty and Null give the empty text; numbers in decimal; dates as DateTimeToStr.
    std::string AsString() const;

    // Element i of a one-dimensional array (bounds-checked, EVariantError outside).
    const Variant& operator[](int32_t index) const;

    // Strict identity of value: the same type code and an equal value (arrays element by element
    // with equal bounds). Two Nulls are equal, as are two Empties.
    friend bool operator==(const Variant& a, const Variant& b);

    void Clear() noexcept {
        Release();
        Reset();
    }

    // Makes the value the string text, reusing the value's own text buffer when it already holds
    // a string no other Variant shares (for readers that refill the same Variants row after row).
    void AssignString(std::string_view text);

private:
    friend struct TVarArrayAccess;
    // Whether the value is a string or an array, whose data Variants share and count.
    bool Shares() const noexcept { return FType == varString || (FType & varArray) != 0; }
    void AddRef() const noexcept;
    void Release() noexcept {
        if (Shares()) ReleaseShared();
    }
    void ReleaseShared() noexcept;
    void Reset() noexcept {
        FType = varEmpty;
        FInt = 0;
    }

    TVarType FType;
    uint16_t FPad[3];
    union {
        int64_t FInt;
        double FDouble;
        TVarStringData* FString;
        TVarArrayData* FArray;
    };
};

static_assert(sizeof(Variant) == 16, "a Variant is one 16-byte item");

// The name of a type code for messages ("Integer", "Null", "Array of Variant", ...).
std::string VarTypeName(TVarType t);

bool VarIsNull(const Variant& v);
bool VarIsEmpty(const Variant& v);
bool VarIsClear(const Variant& v);
bool VarIsArray(const Variant& v);
std::string VarToStr(const Variant& v); // Null and Empty give the empty text
// Converts v to type t (scalar types only), raising EConvertError when it cannot.
Variant VarAsType(const Variant& v, TVarType t);

// The host's comparison of two values.
enum class TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };
// Numbers (integers, doubles, dates, Booleans) compare by value, strings exactly (byte order),
// a string with a number by the string's numeric value when it has one. Null equals Null and
// Empty equals Empty; either against any other value is vrNotEqual. Arrays are equal when their
// bounds and elements are, else vrNotEqual.
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);
bool VarSameValue(const Variant& a, const Variant& b); // VarCompareValue is vrEqual
// A hash consistent with operator== (the same type code and value give the same hash).
std::size_t VarHash(const Variant& v);

// Variant arrays. Bounds are given as a flat list of low/high pairs, one pair per dimension:
// VarArrayCreate({0, 2}, varVariant) is a one-dimensional array of three Variants. Elements of an
// array of varVariant or of the bare flag (element type Empty) hold any value; elements of a
// typed array are converted to its element type when put.
Variant VarArrayCreate(std::initializer_list<int32_t> bounds, TVarType elementType);
Variant VarArrayCreate(const std::vector<TVarArrayBound>& bounds, TVarType elementType);
Variant VarArrayOf(std::initializer_list<Variant> values); // zero-based array of Variants
Variant VarArrayOf(const std::vector<Variant>& values);
Variant VarArrayOf(std::vector<Variant>&& values); // takes the values over
// A zero-based array of count Variants, item i made by item(i): a key vector built without a
// list of its own.
Variant VarArrayOf(std::size_t count, const std::function<Variant(std::size_t)>& item);
// Makes v what VarArrayOf(count, item) gives, refilling v's own block when v is already such an
// array that no other Variant shares (a reader taking key vectors record after record allocates
// nothing for the ones it does not keep). If making an item fails, v is left Empty.
void VarArrayRefill(Variant& v, std::size_t count, const std::function<Variant(std::size_t)>& item);
// The items of v, to be filled in place: v's own block when v is a zero-based array of count
// Variants that no other Variant shares, else a fresh such array of Empty items that v becomes.
Variant* VarArrayOwnItems(Variant& v, std::size_t count);
// VarArrayRefill with any callable: no std::function is called per item (a dataset fills the key
// vector of every record a tree reads this way).
template <class F> void VarArrayRefillWith(Variant& v, std::size_t count, F&& item) {
    Variant* items = VarArrayOwnItems(v, count);
    try {
        for (std::size_t i = 0; i < count; ++i)
            items[i] = item(i);
    } catch (...) {
        v.Clear();
        throw;
    }
}
int32_t VarArrayDimCount(const Variant& v); // 0 for a value that is not an array
// Both raise EVariantError for a value that is not an array or a dimension outside 1..count.
int32_t VarArrayLowBound(const Variant& v, int32_t dim);
int32_t VarArrayHighBound(const Variant& v, int32_t dim);
Variant VarArrayGet(const Variant& v, std::initializer_list<int32_t> indices);
void VarArrayPut(Variant& v, const Variant& value, std::initializer_list<int32_t> indices);
// Re-dimensions the last dimension in place to the new high bound, keeping the elements that
// remain; new elements are Empty (or zero of the element type).
void VarArrayRedim(Variant& v, int32_t highBound);

} // namespace orvel
