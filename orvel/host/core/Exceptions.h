// The host's exception classes, its string table (LoadStr) and message formatting (Format).
#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <variant>

namespace orvel {

// Root of every exception the host and the components raise; carries the message.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }

private:
    std::string FMessage;
};

#define ORVEL_EXCEPTION_CLASS(Name, Base)                                                          \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
    };

ORVEL_EXCEPTION_CLASS(EArrayError, Exception)
ORVEL_EXCEPTION_CLASS(EConvertError, Exception)
ORVEL_EXCEPTION_CLASS(EVariantError, Exception)
ORVEL_EXCEPTION_CLASS(EInvalidCast, Exception)
ORVEL_EXCEPTION_CLASS(EInvalidOperation, Exception)
ORVEL_EXCEPTION_CLASS(EInvalidPointer, Exception)
ORVEL_EXCEPTION_CLASS(EOutOfResources, Exception)
ORVEL_EXCEPTION_CLASS(EDatabaseError, Exception)
ORVEL_EXCEPTION_CLASS(ETreeViewError, Exception)
ORVEL_EXCEPTION_CLASS(EListError, Exception)
ORVEL_EXCEPTION_CLASS(EStringListError, EListError)
ORVEL_EXCEPTION_CLASS(EPropertyError, Exception)
ORVEL_EXCEPTION_CLASS(EComponentError, Exception)
ORVEL_EXCEPTION_CLASS(EFilerError, Exception)
ORVEL_EXCEPTION_CLASS(EReadError, EFilerError)
ORVEL_EXCEPTION_CLASS(EInvalidGraphic, Exception)
ORVEL_EXCEPTION_CLASS(EAbort, Exception)

// Identifiers of the string table. The package's own texts keep their fixed numbers; the host's
// texts follow from 60000 upwards.
enum TStringId : int {
    SArrayError = 65520,
    SWrongRootExpression = 65521,
    SCantSetAsChild = 65522,
    SCantSetAsTopParent = 65523,
    SCannotSetupNode = 65524,
    SCantEditUnexistingRecordTree = 65525,
    SCannotAddItem = 65526,
    SCannotSetupItem = 65527,
    SCannotSplitLine = 65528,
    SCantEditUnexistingRecordList = 65529,
    SCannotSpecifyFields = 65530,
    SViewMenu = 45600,
    SViewLargeIcons = 45601,
    SViewSmallIcons = 45602,
    SViewList = 45603,
    SViewDetails = 45604,

    SInvalidCast = 60000,
    SListIndexError,
    SDuplicateString,
    SSortedListError,
    SVarTypeCastError,
    SVarArrayBounds,
    SVarNotArray,
    SInvalidInteger,
    SInvalidFloat,
    SInvalidDateTime,
    SIntOverflow,
    SDuplicateName,
    SInvalidName,
    SNotReplicatable,
    SDataSetClosed,
    SDataSetOpen,
    SNotEditing,
    SDataSetReadOnly,
    SFieldNotFound,
    SDataSetEmpty,
    SInvalidBookmark,
    SFieldReadOnly,
    SNotIndexField,
    SNoTableName,
    SNotBrowsing,
    SFieldTypeMismatch,
    SInvalidImage,
    SPropertyNotFound,
    SUnknownClass,
    SRecordNotFound,
    SDataSourceChange,
    SNoSQLStatement,
    SNoDatabase,
    SNotATable,
    STextTrue,
    STextFalse,
};

// The text of a string-table entry, loaded at the moment it is needed; the empty text for an
// identifier that has none.
std::string LoadStr(int id);

// A value for Format: text, a whole number or a floating-point number.
using TFormatArg = std::variant<std::string, long long, double>;

// Formats in the host's manner: %s (text), %d (whole number), %g/%f (number), %% (a percent sign).
// A directive without a matching argument raises EConvertError.
std::string Format(const std::string& fmt, std::initializer_list<TFormatArg> args);

// Raises an exception of class E with the string-table text id, formatted with args.
template <class E> [[noreturn]] void RaiseRes(int id, std::initializer_list<TFormatArg> args = {}) {
    throw E(Format(LoadStr(id), args));
}

} // namespace orvel
