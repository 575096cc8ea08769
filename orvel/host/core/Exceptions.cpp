// The string table and the host's message formatting.
#include "orvel/host/core/Exceptions.h"

#include "orvel/host/core/SysUtils.h"

#include <unordered_map>

namespace orvel {

namespace {

const std::unordered_map<int, const char*>& StringTable() {
    static const std::unordered_map<int, const char*> table = {
        {SArrayError, "Array error"},
        {SWrongRootExpression, "Wrong root expression has been specified: '%s'"},
        {SCantSetAsChild, "Can't set '%s'-node as child"},
        {SCantSetAsTopParent, "Can't set '%s'-node as top parent"},
        {SCannotSetupNode, "Cannot setup a node"},
        {SCantEditUnexistingRecordTree, "Can't edit unexisting record"},
        {SCannotAddItem, "Cannot add an item to the list"},
        {SCannotSetupItem, "Cannot setup an item"},
        {SCannotSplitLine, "Cannot split a line '%s' into a list"},
        {SCantEditUnexistingRecordList, "Can't edit an unexisting record"},
        {SCannotSpecifyFields, "Cannot specify fields while DataSource isn't correct"},
        {SViewMenu, "&View"},
        {SViewLargeIcons, "L&arge Icons"},
        {SViewSmallIcons, "S&mall Icons"},
        {SViewList, "&List"},
        {SViewDetails, "&Details"},

        {SInvalidCast, "Invalid class typecast"},
        {SListIndexError, "List index out of bounds (%d)"},
        {SDuplicateString, "String list does not allow duplicates"},
        {SSortedListError, "Operation not allowed on sorted string list"},
        {SVarTypeCastError, "Could not convert variant of type (%s) into type (%s)"},
        {SVarArrayBounds, "Variant array index out of bounds"},
        {SVarNotArray, "Variant is not an array"},
        {SInvalidInteger, "'%s' is not a valid integer value"},
        {SInvalidFloat, "'%s' is not a valid floating point value"},
        {SInvalidDateTime, "'%s' is not a valid date and time"},
        {SIntOverflow, "Integer overflow"},
        {SDuplicateName, "A component named %s already exists"},
        {SInvalidName, "''%s'' is not a valid component name"},
        {SNotReplicatable, "Control cannot be used in a repeating panel"},
        {SDataSetClosed, "Cannot perform this operation on a closed dataset"},
        {SDataSetOpen, "Cannot perform this operation on an open dataset"},
        {SNotEditing, "Dataset not in edit or insert mode"},
        {SDataSetReadOnly, "Cannot modify a read-only dataset"},
        {SFieldNotFound, "Field '%s' not found"},
        {SDataSetEmpty, "Cannot perform this operation on an empty dataset"},
        {SInvalidBookmark, "Invalid bookmark"},
        {SFieldReadOnly, "Field '%s' cannot be modified"},
        {SNotIndexField, "Field '%s' is not indexed and cannot be modified"},
        {SNoTableName, "Missing TableName property"},
        {SNotBrowsing, "Dataset not in browse mode"},
        {SFieldTypeMismatch, "Type mismatch for field '%s'"},
        {SInvalidImage, "Invalid bitmap image: %s"},
        {SPropertyNotFound, "Property %s does not exist"},
        {SUnknownClass, "Class %s not found"},
        {SRecordNotFound, "Record not found"},
        {SDataSourceChange, "DataSource cannot be changed"},
        {SNoSQLStatement, "No SQL statement available"},
        {SNoDatabase, "Missing Database or DatabaseName property"},
        {SNotATable, "Table '%s' does not exist"},
        {STextTrue, "True"},
        {STextFalse, "False"},
    };
    return table;
}

std::string ArgAsText(const TFormatArg& arg) {
    if (const auto* s = std::get_if<std::string>(&arg)) return *s;
    if (const auto* i = std::get_if<long long>(&arg)) return std::to_string(*i);
    return FormatGeneral(std::get<double>(arg), 6);
}

} // namespace

std::string LoadStr(int id) {
    const auto& table = StringTable();
    auto it = table.find(id);
    return it == table.end() ? std::string() : std::string(it->second);
}

std::string Format(const std::string& fmt, std::initializer_list<TFormatArg> args) {
    std::string out;
    out.reserve(fmt.size() + 16);
    auto next = args.begin();
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%' || i + 1 >= fmt.size()) {
            out += c;
            continue;
        }
        char d = fmt[++i];
        if (d == '%') {
            out += '%';
            continue;
        }
        if (d != 's' && d != 'd' && d != 'g' && d != 'f') {
            out += '%';
            out += d;
            continue;
        }
        if (next == args.end())
            throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
        out += ArgAsText(*next++);
    }
    return out;
}

} // namespace orvel
