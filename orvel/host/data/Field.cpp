// Fields: conversions between stored values and typed Variants, text, and blob streams.
#include "orvel/host/data/Field.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/data/DataSet.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace orvel {

namespace {

bool IsIntegerVar(TVarType t) {
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

bool IsStringType(TFieldType t) {
    return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo;
}

bool IsIntegerType(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc;
}

bool IsBinaryType(TFieldType t) {
    return t == ftBlob || t == ftGraphic || t == ftBytes || t == ftVarBytes || t == ftParadoxOle ||
           t == ftDBaseOle || t == ftTypedBinary;
}

TVarType VarTypeOf(TFieldType t) {
    switch (t) {
    case ftSmallint:
        return varSmallint;
    case ftWord:
        return varWord;
    default:
        return varInteger;
    }
}

// A stored value as a whole number, when it is one.
bool StoredAsInt64(const Variant& stored, int64_t& value) {
    TVarType t = stored.VarType();
    if (IsIntegerVar(t)) {
        value = stored.AsInt64();
        return true;
    }
    if (t == varDouble) {
        double d = stored.AsDouble();
        if (std::floor(d) != d || !(d >= -9.2e18 && d <= 9.2e18)) return false;
        value = static_cast<int64_t>(d);
        return true;
    }
    if (t == varString) return TryStrToInt64(stored.AsString(), value);
    return false;
}

bool InRange(TFieldType type, int64_t v) {
    switch (type) {
    case ftSmallint:
        return v >= INT16_MIN && v <= INT16_MAX;
    case ftWord:
        return v >= 0 && v <= UINT16_MAX;
    default:
        return v >= INT32_MIN && v <= INT32_MAX;
    }
}

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string IsoDate(TDateTime dt) {
    int y = 0, m = 0, d = 0;
    DecodeDate(dt, y, m, d);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string IsoTime(TDateTime dt) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(dt, h, n, s, ms);
    std::string text = TwoDigits(h) + ":" + TwoDigits(n) + ":" + TwoDigits(s);
    if (ms != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, ".%03d", ms);
        text += buf;
    }
    return text;
}

// The stored form of a value whose field has no type: the engine's own classes.
Variant NaturalStored(const Variant& value) {
    TVarType t = value.VarType();
    if (t == varBoolean) return Variant(static_cast<int64_t>(value.AsBoolean() ? 1 : 0));
    if (IsIntegerVar(t)) return Variant(value.AsInt64());
    if (t == varDouble || t == varSingle || t == varCurrency) return Variant(value.AsDouble());
    if (t == varDate) return Variant(IsoDate(value.AsDouble()) + " " + IsoTime(value.AsDouble()));
    return Variant(value.AsString());
}

} // namespace

TField::TField(TDataSet* dataSet, std::string fieldName, TFieldType dataType, int fieldNo, int size)
    : FDataSet(dataSet), FFieldName(std::move(fieldName)), FDataType(dataType), FFieldNo(fieldNo),
      FSize(size) {}

bool TField::IsBinary() const {
    return IsBinaryType(FDataType);
}

bool TField::IsBlob() const {
    return IsBinaryType(FDataType) || FDataType == ftMemo || FDataType == ftFmtMemo;
}

const Variant* TField::ActiveStored() const {
    return FDataSet ? FDataSet->ActiveStoredValue(FFieldNo) : nullptr;
}

Variant TField::StoredToValue(const Variant& stored) const {
    if (stored.IsNull() || stored.IsEmpty()) return Variant::Null();
    int64_t i = 0;
    double d = 0;
    switch (FDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        if (StoredAsInt64(stored, i) && InRange(FDataType, i))
            return Variant::FromInteger(VarTypeOf(FDataType), i);
        return stored;
    case ftLargeint:
        if (StoredAsInt64(stored, i)) return Variant(i);
        return stored;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        if (stored.VarType() == varString && !TryStrToFloat(stored.AsString(), d)) return stored;
        return Variant(stored.AsDouble());
    case ftBoolean:
        if (StoredAsInt64(stored, i)) return Variant(i != 0);
        if (stored.VarType() == varString) {
            if (SameText(stored.AsString(), "true")) return Variant(true);
            if (SameText(stored.AsString(), "false")) return Variant(false);
        }
        return stored;
    case ftDate:
    case ftTime:
    case ftDateTime:
        if (stored.VarType() == varString) {
            TDateTime dt = 0;
            if (TryStrToDateTime(stored.AsString(), dt)) return Variant::FromDate(dt);
            return stored;
        }
        return Variant::FromDate(stored.AsDouble());
    case ftUnknown:
        return stored;
    default: // strings, memos and blobs
        if (stored.VarType() == varString) return stored;
        return Variant(stored.AsString());
    }
}

TVarType TField::IntegerValueType(int64_t stored) const {
    switch (FDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        if (InRange(FDataType, stored)) return VarTypeOf(FDataType);
        return varInt64;
    case ftLargeint:
    case ftUnknown:
        return varInt64;
    default:
        return varEmpty;
    }
}

Variant TField::ValueToStored(const Variant& value) const {
    if (value.IsNull() || value.IsEmpty()) return Variant::Null();
    if (value.IsArray()) RaiseRes<EConvertError>(SFieldTypeMismatch, {FFieldName});
    if (IsIntegerType(FDataType)) {
        int64_t v = value.AsInt64();
        if (!InRange(FDataType, v)) RaiseRes<EConvertError>(SIntOverflow);
        return Variant(v);
    }
    switch (FDataType) {
    case ftLargeint:
        return Variant(value.AsInt64());
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return Variant(value.AsDouble());
    case ftBoolean:
        return Variant(static_cast<int64_t>(value.AsBoolean() ? 1 : 0));
    case ftDate:
        return Variant(IsoDate(value.AsDateTime()));
    case ftTime:
        return Variant(IsoTime(value.AsDateTime()));
    case ftDateTime: {
        TDateTime dt = value.AsDateTime();
        return Variant(IsoDate(dt) + " " + IsoTime(dt));
    }
    case ftUnknown:
        return NaturalStored(value);
    default:
        return value.VarType() == varString ? value : Variant(value.AsString());
    }
}

Variant TField::GetValue() const {
    const Variant* stored = ActiveStored();
    return stored ? StoredToValue(*stored) : Variant::Null();
}

void TField::SetValue(const Variant& value) {
    if (!FDataSet) DatabaseError("Field '" + FFieldName + "' has no dataset");
    FDataSet->SetStoredValue(this, ValueToStored(value));
}

bool TField::IsNull() const {
    const Variant* stored = ActiveStored();
    return !stored || stored->IsNull() || stored->IsEmpty();
}

std::string TField::GetAsString() const {
    const Variant* stored = ActiveStored();
    if (!stored) return std::string();
    // Text a text field holds is its value as it stands: one copy, no value made in between.
    if (stored->VarType() == varString && TextStoredAsIs()) return stored->AsString();
    return StoredAsString(*stored);
}

std::string TField::StoredAsString(const Variant& stored) const {
    Variant v = StoredToValue(stored);
    if (v.IsNull()) return std::string();
    if (v.VarType() == varDate) {
        if (FDataType == ftDate) return DateToStr(v.AsDouble());
        if (FDataType == ftTime) return IsoTime(v.AsDouble());
    }
    return v.AsString();
}

bool TField::TextStoredAsIs() const {
    switch (FDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftBoolean:
    case ftDate:
    case ftTime:
    case ftDateTime:
        return false;
    default:
        return true;
    }
}

void TField::SetAsString(const std::string& value) {
    if (value.empty() && !IsStringType(FDataType) && !IsBinaryType(FDataType))
        Clear();
    else
        SetValue(Variant(value));
}

int32_t TField::GetAsInteger() const {
    return StoredAsInteger(ActiveStored());
}

int32_t TField::GetAsIntegerOr(int32_t ifNull) const {
    const Variant* stored = ActiveStored();
    if (!stored || stored->IsNull() || stored->IsEmpty()) return ifNull;
    return StoredAsInteger(stored);
}

int32_t TField::StoredAsInteger(const Variant* stored) const {
    // An integer field holding an integer of its range reads it as it is: the value a Variant of
    // the field's type would give, without making one (trees read two per node they make).
    if (stored && IsIntegerType(FDataType) && IsIntegerVar(stored->VarType())) {
        int64_t i = stored->AsInt64();
        if (InRange(FDataType, i)) return static_cast<int32_t>(i);
    }
    Variant v = stored ? StoredToValue(*stored) : Variant::Null();
    return v.IsNull() ? 0 : v.AsInteger();
}
void TField::SetAsInteger(int32_t value) {
    SetValue(Variant(value));
}

int64_t TField::GetAsLargeInt() const {
    Variant v = GetValue();
    return v.IsNull() ? 0 : v.AsInt64();
}
void TField::SetAsLargeInt(int64_t value) {
    SetValue(Variant(value));
}

double TField::GetAsFloat() const {
    Variant v = GetValue();
    return v.IsNull() ? 0.0 : v.AsDouble();
}
void TField::SetAsFloat(double value) {
    SetValue(Variant(value));
}

bool TField::GetAsBoolean() const {
    Variant v = GetValue();
    return v.IsNull() ? false : v.AsBoolean();
}
void TField::SetAsBoolean(bool value) {
    SetValue(Variant(value));
}

TDateTime TField::GetAsDateTime() const {
    Variant v = GetValue();
    return v.IsNull() ? 0.0 : v.AsDateTime();
}
void TField::SetAsDateTime(TDateTime value) {
    SetValue(Variant::FromDate(value));
}

std::string TField::GetEditText() const {
    return GetAsString();
}
void TField::SetEditText(const std::string& value) {
    SetAsString(value);
}

bool TField::CanModify() const {
    return !FReadOnly && FDataSet && FDataSet->CanModify();
}

bool TField::IsValidChar(char) const {
    return true;
}

bool TIntegerField::IsValidChar(char c) const {
    return (c >= '0' && c <= '9') || c == '+' || c == '-';
}

bool TLargeintField::IsValidChar(char c) const {
    return (c >= '0' && c <= '9') || c == '+' || c == '-';
}

bool TFloatField::IsValidChar(char c) const {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'E' || c == 'e' ||
           c == FormatSettings().DecimalSeparator;
}

std::unique_ptr<TField> CreateField(TDataSet* dataSet, const std::string& name, TFieldType dataType,
                                    int fieldNo, int size) {
    switch (dataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return std::make_unique<TStringField>(dataSet, name, dataType, fieldNo, size);
    case ftSmallint:
        return std::make_unique<TSmallintField>(dataSet, name, dataType, fieldNo, size);
    case ftInteger:
        return std::make_unique<TIntegerField>(dataSet, name, dataType, fieldNo, size);
    case ftWord:
        return std::make_unique<TWordField>(dataSet, name, dataType, fieldNo, size);
    case ftAutoInc:
        return std::make_unique<TAutoIncField>(dataSet, name, dataType, fieldNo, size);
    case ftLargeint:
        return std::make_unique<TLargeintField>(dataSet, name, dataType, fieldNo, size);
    case ftFloat:
    case ftBCD:
        return std::make_unique<TFloatField>(dataSet, name, dataType, fieldNo, size);
    case ftCurrency:
        return std::make_unique<TCurrencyField>(dataSet, name, dataType, fieldNo, size);
    case ftBoolean:
        return std::make_unique<TBooleanField>(dataSet, name, dataType, fieldNo, size);
    case ftDate:
        return std::make_unique<TDateField>(dataSet, name, dataType, fieldNo, size);
    case ftTime:
        return std::make_unique<TTimeField>(dataSet, name, dataType, fieldNo, size);
    case ftDateTime:
        return std::make_unique<TDateTimeField>(dataSet, name, dataType, fieldNo, size);
    case ftMemo:
    case ftFmtMemo:
        return std::make_unique<TMemoField>(dataSet, name, dataType, fieldNo, size);
    case ftGraphic:
        return std::make_unique<TGraphicField>(dataSet, name, dataType, fieldNo, size);
    case ftBlob:
    case ftBytes:
    case ftVarBytes:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
        return std::make_unique<TBlobField>(dataSet, name, dataType, fieldNo, size);
    default:
        return std::make_unique<TField>(dataSet, name, dataType, fieldNo, size);
    }
}

TFieldType FieldTypeOfDeclared(const std::string& declaredType, int& size) {
    size = 0;
    std::string type = UpperCase(Trim(declaredType));
    std::size_t paren = type.find('(');
    if (paren != std::string::npos) {
        size = StrToIntDef(
            Trim(type.substr(paren + 1, type.find_first_of(",)", paren) - paren - 1)), 0);
        type = Trim(type.substr(0, paren));
    }
    struct TEntry {
        const char* Name;
        TFieldType Type;
    };
    static const TEntry exact[] = {
        {"INTEGER", ftInteger},   {"INT", ftInteger},        {"MEDIUMINT", ftInteger},
        {"INT4", ftInteger},      {"SMALLINT", ftSmallint},  {"INT2", ftSmallint},
        {"TINYINT", ftSmallint},  {"WORD", ftWord},          {"BIGINT", ftLargeint},
        {"INT8", ftLargeint},     {"LARGEINT", ftLargeint},  {"REAL", ftFloat},
        {"FLOAT", ftFloat},       {"DOUBLE", ftFloat},       {"DOUBLE PRECISION", ftFloat},
        {"NUMERIC", ftFloat},     {"DECIMAL", ftFloat},      {"MONEY", ftCurrency},
        {"CURRENCY", ftCurrency}, {"BOOLEAN", ftBoolean},    {"BOOL", ftBoolean},
        {"BIT", ftBoolean},       {"DATE", ftDate},          {"TIME", ftTime},
        {"DATETIME", ftDateTime}, {"TIMESTAMP", ftDateTime}, {"TEXT", ftString},
        {"VARCHAR", ftString},    {"CHAR", ftString},        {"NVARCHAR", ftString},
        {"NCHAR", ftString},      {"STRING", ftString},      {"CLOB", ftString},
        {"MEMO", ftMemo},         {"BLOB", ftBlob},          {"BINARY", ftBlob},
        {"VARBINARY", ftBlob},    {"GRAPHIC", ftGraphic},    {"PICTURE", ftGraphic},
        {"IMAGE", ftGraphic},
    };
    for (const TEntry& e : exact)
        if (type == e.Name) return e.Type;
    if (type.empty()) return ftUnknown;
    // The engine's affinity rules for any other name.
    if (type.find("INT") != std::string::npos) return ftInteger;
    if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
        type.find("TEXT") != std::string::npos)
        return ftString;
    if (type.find("BLOB") != std::string::npos) return ftBlob;
    if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
        type.find("DOUB") != std::string::npos)
        return ftFloat;
    return ftFloat; // numeric affinity
}

// ---- TBlobStream -------------------------------------------------------------------------------

TBlobStream::TBlobStream(TField* field, TBlobStreamMode mode) : FField(field), FMode(mode) {
    if (!field) DatabaseError("No blob field");
    if (mode != TBlobStreamMode::bmRead) {
        TDataSet* ds = field->DataSet();
        if (!ds || !IsEditState(ds->State())) RaiseRes<EDatabaseError>(SNotEditing);
        if (field->GetReadOnly()) RaiseRes<EDatabaseError>(SFieldReadOnly, {field->FieldName()});
    }
    if (mode != TBlobStreamMode::bmWrite && !field->IsNull()) FData = field->GetValue().AsString();
    if (mode == TBlobStreamMode::bmWrite) FModified = true;
}

TBlobStream::~TBlobStream() {
    try {
        Flush();
    } catch (...) {
        // The dataset left edit state meanwhile: there is no record to write the bytes into.
    }
}

int64_t TBlobStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPosition >= Size()) return 0;
    int64_t n = std::min(count, Size() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

int64_t TBlobStream::Write(const void* buffer, int64_t count) {
    if (FMode == TBlobStreamMode::bmRead) throw EStreamError("Blob stream is read-only");
    if (count <= 0) return 0;
    if (FPosition + count > Size()) FData.resize(static_cast<std::size_t>(FPosition + count));
    std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition += count;
    FModified = true;
    return count;
}

int64_t TBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
                   : origin == TSeekOrigin::soCurrent ? FPosition
                                                      : Size();
    if (base + offset < 0) throw EStreamError("Invalid stream position");
    FPosition = base + offset;
    return FPosition;
}

void TBlobStream::SetSize(int64_t value) {
    if (FMode == TBlobStreamMode::bmRead) throw EStreamError("Blob stream is read-only");
    FData.resize(static_cast<std::size_t>(std::max<int64_t>(value, 0)));
    FModified = true;
}

void TBlobStream::Flush() {
    if (!FModified || FMode == TBlobStreamMode::bmRead) return;
    FField->SetValue(Variant(FData));
    FModified = false;
}

} // namespace orvel
