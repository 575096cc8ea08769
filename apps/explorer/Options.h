// The explorer's command line: which database and table to show and how, and the
// non-interactive mode that runs a key script and prints the screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvel::explorer {

// How the tree (and the list of children) binds to a table: the components' own property
// texts. The defaults are the objects table of the sample database.
struct TViewOptions {
    std::string Table = "Objects";
    std::string Links = "OwnerOriginID->OriginID;OwnerObjectID->ObjectID"; // LinksFields
    std::string Root = "null;null";                                        // RootKey
    std::string NameField = "Name";
    std::string ImageField = "ClassID";
    std::string StatusField = "StatusID";
    std::string Columns = "StartDate;EndDate";   // ColumnsFields of the list of children
    std::string KeyFields = "OriginID;ObjectID"; // KeyFields of the list of children
    // The table's index; empty: the parent fields of Links (the tree reads children by range).
    std::string Index;
    // The view options given on the command line ("--root", ...): those are checked against the
    // table; a default that does not fit a table of one's own is left out as before.
    std::vector<std::string> Given;
    bool WasGiven(const std::string& option) const {
        for (const std::string& g : Given)
            if (g == option) return true;
        return false;
    }
};

struct TOptions {
    std::string Database; // empty: the embedded default
    TViewOptions View;
    // Whether any view option was given: the sample's panels (status, flags, attributes,
    // inventory) are shown only for the sample schema.
    bool CustomView = false;

    // Non-interactive mode: a key script, run without a terminal, then the screen printed.
    bool Scripted = false;
    std::string Keys;
    bool DumpEachStep = false;
    // The smallest screen the explorer lays out; a smaller one shows only a notice.
    static constexpr int MinColumns = 60;
    static constexpr int MinRows = 20;
    int Columns = 100;
    int Rows = 32;
    bool Ascii = false;

    // One-shot commands.
    bool ShowHelp = false;
    bool WriteSample = false; // --sample FILE
    std::string SampleFile;
    bool Generate = false; // --generate N FILE
    int64_t GenerateCount = 0;
    std::string GenerateFile;
};

// Parses argv; EConvertError with a message for a bad command line.
TOptions ParseOptions(const std::vector<std::string>& args);
// The usage text printed by --help.
std::string UsageText();

} // namespace orvel::explorer
