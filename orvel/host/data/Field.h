// Fields: TField, the typed field classes a dataset creates for its columns, and TBlobStream,
// which reads and writes a blob field as a stream.
//
// A dataset keeps each record as the values the engine stores (Null, a 64-bit integer, a double
// or text/bytes); a field turns them into the Variant of its type on every read and turns
// written values back into the stored form:
//
//   declared column type                         field type    value Variant
//   INTEGER, INT, MEDIUMINT, INT4                ftInteger     32-bit integer (varInteger)
//   INTEGER PRIMARY KEY AUTOINCREMENT            ftAutoInc     32-bit integer (varInteger)
//   SMALLINT, INT2, TINYINT                      ftSmallint    16-bit integer (varSmallint)
//   WORD                                         ftWord        unsigned 16-bit (varWord)
//   BIGINT, INT8, LARGEINT                       ftLargeint    64-bit integer (varInt64)
//   REAL, FLOAT, DOUBLE, NUMERIC, DECIMAL        ftFloat       double (varDouble)
//   MONEY, CURRENCY                              ftCurrency    double (varDouble)
//   BOOLEAN, BOOL, BIT                           ftBoolean     Boolean (varBoolean)
//   DATE / TIME / DATETIME, TIMESTAMP            ftDate / ftTime / ftDateTime   date (varDate)
//   TEXT, VARCHAR(n), CHAR(n), STRING, CLOB      ftString      string (varString)
//   MEMO                                         ftMemo        string
//   BLOB, BINARY, VARBINARY                      ftBlob        string holding the bytes
//   GRAPHIC, PICTURE, IMAGE                      ftGraphic     string holding the bytes
//   anything else: the engine's affinity rules (a name containing INT is an integer, CHAR, CLOB
//   or TEXT a string, REAL, FLOA or DOUB a float, BLOB a blob); no type at all: ftUnknown, whose
//   values keep the stored form (64-bit integer, double or string).
//
// A stored NULL is a Null value for every type. Dates are stored as ISO text (2024-03-31,
// 13:45:10, 2024-03-31 13:45:10); stored numbers read as the host's day count. Booleans are
// stored as 0 and 1. A stored value that does not fit the field's type (an integer beyond 32 bits
// in an INTEGER column, text in a numeric column) is given back unconverted rather than cut.
#pragma once

#include "orvel/host/core/Object.h"
#include "orvel/host/core/Streams.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DBCommon.h"

#include <memory>
#include <string>

namespace orvel {

class TDataSet;

class TField : public TObject {
public:
    TField(TDataSet* dataSet, std::string fieldName, TFieldType dataType, int fieldNo,
           int size = 0);

    TDataSet* DataSet() const { return FDataSet; }
    const std::string& FieldName() const { return FFieldName; }
    TFieldType DataType() const { return FDataType; }
    // Position of the field in the dataset's records, from 0.
    int FieldNo() const { return FFieldNo; }
    int Size() const { return FSize; }
    bool GetRequired() const { return FRequired; }
    void SetRequired(bool value) { FRequired = value; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    // True for the types whose values are blobs or memos.
    bool IsBlob() const;
    // True for the types whose values are bytes rather than text (blobs but not memos).
    bool IsBinary() const;

    // The value of the field in the dataset's active record (Null when there is none). Writing
    // needs the dataset in edit or insert state (or, for a table, entering a range key); a value
    // that cannot be converted to the field's type raises EConvertError and changes nothing.
    Variant GetValue() const;
    void SetValue(const Variant& value);
    bool IsNull() const;
    void Clear() { SetValue(Variant::Null()); }

    std::string GetAsString() const;
    void SetAsString(const std::string& value);
    int32_t GetAsInteger() const;
    // GetAsInteger, or ifNull where IsNull: one look at the active record for both (a tree reads
    // a state and an image index so for every node it makes).
    int32_t GetAsIntegerOr(int32_t ifNull) const;
    void SetAsInteger(int32_t value);
    int64_t GetAsLargeInt() const;
    void SetAsLargeInt(int64_t value);
    double GetAsFloat() const;
    void SetAsFloat(double value);
    bool GetAsBoolean() const;
    void SetAsBoolean(bool value);
    TDateTime GetAsDateTime() const;
    void SetAsDateTime(TDateTime value);

    // Text as an editor shows and takes it: the value as a string, the empty text for Null.
    // Setting the empty text clears every field but a string field.
    std::string GetText() const { return GetEditText(); }
    void SetText(const std::string& value) { SetEditText(value); }
    std::string GetEditText() const;
    void SetEditText(const std::string& value);
    std::string GetDisplayText() const { return GetEditText(); }

    // The field can be written: not read-only and its dataset can be modified.
    bool CanModify() const;
    // Whether a typed character may go into the field (numeric fields take digits and signs).
    virtual bool IsValidChar(char c) const;

    // Conversions between stored values and the field's Variants (see the table above).
    Variant StoredToValue(const Variant& stored) const;
    Variant ValueToStored(const Variant& value) const;
    // GetAsString of a stored value.
    std::string StoredAsString(const Variant& stored) const;
    // A stored text reads back as that very text (string, memo, blob and untyped fields), so
    // that a reader may take the engine's text without converting it.
    bool TextStoredAsIs() const;
    // The Variant type StoredToValue gives for an engine integer when that value is the same
    // integer (integer fields in their range, large integers, untyped fields); varEmpty when it
    // is anything else (a Boolean, a float, a date, a text, the stored value out of range).
    TVarType IntegerValueType(int64_t stored) const;

private:
    const Variant* ActiveStored() const;
    // GetAsInteger of a stored value (nullptr: no active record).
    int32_t StoredAsInteger(const Variant* stored) const;

    TDataSet* FDataSet;
    std::string FFieldName;
    TFieldType FDataType;
    int FFieldNo;
    int FSize;
    bool FRequired = false;
    bool FReadOnly = false;
};

// The typed field classes; a dataset creates the one that fits each column's type.
class TStringField : public TField {
public:
    using TField::TField;
};
class TIntegerField : public TField {
public:
    using TField::TField;
    bool IsValidChar(char c) const override;
};
class TSmallintField : public TIntegerField {
public:
    using TIntegerField::TIntegerField;
};
class TWordField : public TIntegerField {
public:
    using TIntegerField::TIntegerField;
};
class TAutoIncField : public TIntegerField {
public:
    using TIntegerField::TIntegerField;
};
class TLargeintField : public TField {
public:
    using TField::TField;
    bool IsValidChar(char c) const override;
};
class TFloatField : public TField {
public:
    using TField::TField;
    bool IsValidChar(char c) const override;
};
class TCurrencyField : public TFloatField {
public:
    using TFloatField::TFloatField;
};
class TBooleanField : public TField {
public:
    using TField::TField;
};
class TDateTimeField : public TField {
public:
    using TField::TField;
};
class TDateField : public TDateTimeField {
public:
    using TDateTimeField::TDateTimeField;
};
class TTimeField : public TDateTimeField {
public:
    using TDateTimeField::TDateTimeField;
};
class TBlobField : public TField {
public:
    using TField::TField;
};
class TMemoField : public TBlobField {
public:
    using TBlobField::TBlobField;
};
class TGraphicField : public TBlobField {
public:
    using TBlobField::TBlobField;
};

// Makes the field object of the class that fits dataType.
std::unique_ptr<TField> CreateField(TDataSet* dataSet, const std::string& name, TFieldType dataType,
                                    int fieldNo, int size = 0);
// The field type and size for a declared column type (the table above).
TFieldType FieldTypeOfDeclared(const std::string& declaredType, int& size);

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// A stream over the bytes of a blob field of the active record. Reading takes the bytes as they
// are when the stream is made. Writing needs the dataset in edit or insert state (checked when the
// stream is made); bmWrite starts from an empty blob. Written bytes reach the field at Flush and
// when the stream is destroyed.
class TBlobStream : public TStream {
public:
    TBlobStream(TField* field, TBlobStreamMode mode);
    ~TBlobStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    void SetSize(int64_t value) override;
    void Truncate() { SetSize(FPosition); }
    void Flush();

private:
    TField* FField;
    TBlobStreamMode FMode;
    std::string FData;
    int64_t FPosition = 0;
    bool FModified = false;
};

} // namespace orvel
