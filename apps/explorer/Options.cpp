// Parsing the explorer's command line.
#include "apps/explorer/Options.h"

#include "orvel/host/core/Exceptions.h"

#include <charconv>
#include <fstream>
#include <sstream>

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
    // Sizes below the layout's minimum are allowed: they show what a small terminal shows.
    if (cols < 10 || rows < 3 || cols > 500 || rows > 300)
        throw EConvertError("--size must lie between 10x3 and 500x300: '" + text + "'");
    options.Columns = static_cast<int>(cols);
    options.Rows = static_cast<int>(rows);
}

// The text of a key script file; a file that cannot be read is an error, not an empty script.
std::string ReadScriptFile(const std::string& file, const char* option) {
    if (file.empty()) throw EConvertError(std::string(option) + " needs a file name");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw EConvertError(std::string(option) + ": cannot read the file '" + file + "'");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw EConvertError(std::string(option) + ": cannot read the file '" + file + "'");
    return text.str();
}

// A relation text of one's own without --root or --key-fields: top-level records have no parent
// (null for each pair) and the list's records are told apart by the key side of the pairs.
void DefaultsFromLinks(TViewOptions& view) {
    std::string root, keys;
    std::istringstream links(view.Links);
    for (std::string item; std::getline(links, item, ';');) {
        std::size_t arrow = item.find("->");
        if (item.find_first_not_of(' ') == std::string::npos) continue;
        root += root.empty() ? "null" : ";null";
        if (arrow != std::string::npos) keys += (keys.empty() ? "" : ";") + item.substr(arrow + 2);
    }
    if (!view.WasGiven("--root")) view.Root = root.empty() ? "null" : root;
    if (!view.WasGiven("--key-fields") && !keys.empty()) view.KeyFields = keys;
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
        options.View.Given.push_back(option);
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            options.ShowHelp = true;
        } else if (a == "--keys") {
            options.Scripted = true;
            const std::string& script = value(a);
            options.Keys = !script.empty() && script[0] == '@'
                               ? ReadScriptFile(script.substr(1), "--keys @FILE")
                               : script;
        } else if (a == "--keys-file") {
            options.Scripted = true;
            options.Keys = ReadScriptFile(value(a), "--keys-file");
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
        } else if (a == "--database") {
            std::string database = value(a);
            if (!options.Database.empty())
                throw EConvertError("only one database can be given: '" + database + "'");
            options.Database = database;
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
    if (options.CustomView) DefaultsFromLinks(options.View);
    return options;
}

std::string UsageText() {
    return R"(usage: orvel-explorer [options] [DATABASE]

Browse and change an SQLite database, or a PostgreSQL one, through the Orvel components.
DATABASE (or --database DATABASE) is an SQLite file, a postgresql:// URI or a libpq
connection string ('host=... dbname=...'; the PG* environment variables fill in the rest).
Without DATABASE the explorer opens its sample database ($XDG_DATA_HOME/orvel/sample.db,
else ~/.local/share/orvel/sample.db), creating it on first run.

Pointing at a table of your own (the components' property texts):
  --table NAME          the self-referencing table (default Objects)
  --links TEXT          LinksFields: parent->key pairs separated by ';'
                        (default OwnerOriginID->OriginID;OwnerObjectID->ObjectID)
  --root TEXT           RootKey: the parent key of top-level records, one value per
                        --links pair (default null for each)
  --name-field NAME     NameField: the caption (default Name)
  --image-field NAME    ImageIDField (default ClassID; '' for none)
  --status-field NAME   StatusIDField (default StatusID; '' for none)
  --key-fields TEXT     KeyFields of the list of children (default: the key fields of
                        --links)
  --columns TEXT        ColumnsFields of the list of children (default StartDate;EndDate)
  --index TEXT          the table's index fields (default: the parent fields of --links)
  example: orvel-explorer --table Classes --links AncestorID->ClassID --root null \
             --image-field ClassID --status-field '' --key-fields ClassID --columns Code

Databases:
  --database DATABASE   the database to open (as the DATABASE argument)
  --sample FILE         write a fresh sample database to FILE and exit
  --generate N FILE     write a database of N objects (fan-out 10) to FILE and exit;
                        FILE may be a PostgreSQL URI or connection string: the tables
                        of the sample are then made anew there

Without a terminal (for tests):
  --keys SCRIPT         run the keys written in SCRIPT, then print the screen as text
  --keys @FILE, --keys-file FILE
                        the same with the script read from FILE
  --steps               also print the screen after each key
  --size COLSxROWS      screen size of the run (default 100x32)
  --ascii               draw frames with ASCII characters
  Script: characters are typed; <Name> is a special key: <Up> <Down> <Left> <Right>
  <PgUp> <PgDn> <Home> <End> <Enter> <Esc> <Tab> <S-Tab> <BS> <Ins> <Del> <Space>
  <F1>..<F12> <C-x> (Ctrl) <lt> (a '<'); mouse in cells: <Click:x,y> <RClick:x,y>
  <DClick:x,y> <Drag:x1,y1,x2,y2> <WheelUp:x,y> <WheelDown:x,y>; <Size:COLS,ROWS>
  resizes the screen; <Dump> prints the screen at that point.
)";
}

} // namespace orvel::explorer
