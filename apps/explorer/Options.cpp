// Parsing the explorer's command line.
#include "apps/explorer/Options.h"

#include "orvel/host/core/Exceptions.h"

#include <charconv>

namespace orvel::explorer {

namespace {

int64_t ParseCount(const std::string& text, const char* what) {
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1)
        throw EConvertError(std::string(what) + " must be a positive whole number: '" + text + "'");
    return value;
}

void ParseSize(const std::string& text, TOptions& options) {
    std::size_t x = text.find('x');
    if (x == std::string::npos) throw EConvertError("--size takes COLUMNSxROWS: '" + text + "'");
    int64_t cols = ParseCount(text.substr(0, x), "--size");
    int64_t rows = ParseCount(text.substr(x + 1), "--size");
    if (cols < 60 || rows < 20 || cols > 500 || rows > 300)
        throw EConvertError("--size must lie between 60x20 and 500x300: '" + text + "'");
    options.Columns = static_cast<int>(cols);
    options.Rows = static_cast<int>(rows);
}

} // namespace

TOptions ParseOptions(const std::vector<std::string>& args) {
    TOptions options;
    std::size_t i = 0;
    auto value = [&](const std::string& option) -> const std::string& {
        if (i + 1 >= args.size()) throw EConvertError(option + " needs a value");
        return args[++i];
    };
    auto view = [&](std::string& field, const std::string& option) {
        field = value(option);
        options.CustomView = true;
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            options.ShowHelp = true;
        } else if (a == "--keys") {
            options.Scripted = true;
            options.Keys = value(a);
        } else if (a == "--dump") {
            options.Scripted = true;
        } else if (a == "--steps") {
            options.Scripted = true;
            options.DumpEachStep = true;
        } else if (a == "--size") {
            ParseSize(value(a), options);
        } else if (a == "--ascii") {
            options.Ascii = true;
        } else if (a == "--sample") {
            options.WriteSample = true;
            options.SampleFile = value(a);
        } else if (a == "--generate") {
            options.Generate = true;
            options.GenerateCount = ParseCount(value(a), "--generate");
            options.GenerateFile = value(a);
        } else if (a == "--table") {
            view(options.View.Table, a);
        } else if (a == "--links") {
            view(options.View.Links, a);
        } else if (a == "--root") {
            view(options.View.Root, a);
        } else if (a == "--name-field") {
            view(options.View.NameField, a);
        } else if (a == "--image-field") {
            view(options.View.ImageField, a);
        } else if (a == "--status-field") {
            view(options.View.StatusField, a);
        } else if (a == "--columns") {
            view(options.View.Columns, a);
        } else if (a == "--key-fields") {
            view(options.View.KeyFields, a);
        } else if (a == "--index") {
            view(options.View.Index, a);
        } else if (!a.empty() && a[0] == '-') {
            throw EConvertError("unknown option " + a + " (see --help)");
        } else if (options.Database.empty()) {
            options.Database = a;
        } else {
            throw EConvertError("only one database can be given: '" + a + "'");
        }
    }
    return options;
}

std::string UsageText() {
    return R"(usage: orvel-explorer [options] [DATABASE]

Browse and change an SQLite database through the Orvel components. Without DATABASE the
explorer opens its sample database ($XDG_DATA_HOME/orvel/sample.db, else
~/.local/share/orvel/sample.db), creating it on first run.

Pointing at a table of your own (the components' property texts):
  --table NAME          the self-referencing table (default Objects)
  --links TEXT          LinksFields: parent->key pairs separated by ';'
                        (default OwnerOriginID->OriginID;OwnerObjectID->ObjectID)
  --root TEXT           RootKey: the parent key of top-level records (default null;null)
  --name-field NAME     NameField: the caption (default Name)
  --image-field NAME    ImageIDField (default ClassID; '' for none)
  --status-field NAME   StatusIDField (default StatusID; '' for none)
  --key-fields TEXT     KeyFields of the list of children (default OriginID;ObjectID)
  --columns TEXT        ColumnsFields of the list of children (default StartDate;EndDate)
  --index TEXT          the table's index fields (default: the parent fields of --links)
  example: orvel-explorer --table Classes --links AncestorID->ClassID --root null \
             --image-field ClassID --status-field '' --key-fields ClassID --columns Code

Databases:
  --sample FILE         write a fresh sample database to FILE and exit
  --generate N FILE     write a database of N objects (fan-out 10) to FILE and exit

Without a terminal (for tests):
  --keys SCRIPT         run the keys of SCRIPT, then print the screen as text
  --steps               also print the screen after each key
  --size COLSxROWS      screen size of the run (default 100x32)
  --ascii               draw frames with ASCII characters
  Script: characters are typed; <Name> is a special key: <Up> <Down> <Left> <Right>
  <PgUp> <PgDn> <Home> <End> <Enter> <Esc> <Tab> <S-Tab> <BS> <Ins> <Del> <Space>
  <F1>..<F12> <C-x> (Ctrl) <lt> (a '<'); mouse in cells: <Click:x,y> <RClick:x,y>
  <DClick:x,y> <Drag:x1,y1,x2,y2>; <Dump> prints the screen at that point.
)";
}

} // namespace orvel::explorer
