// The explorer end to end for what a person expects of it: a help that lists every key, a
// status line naming the keys of the focused control, the focused control standing out, picture
// export that says where it writes and never overwrites silently, classes and statuses for new
// records, the designer's typed values, and menus, icons and pick lists that behave.
#include "apps/explorer/Explorer.h"
#include "tests/apps/ExplorerRun.h"

namespace orvel::test {
namespace {

using explorer::TCellAttr;
using explorer::TTextScreen;

// Runs the explorer in this process on the test's database, so the colours of the cells can be
// looked at too.
TTextScreen RunHere(const std::string& db, const std::string& keys) {
    explorer::TOptions options;
    options.Database = db;
    options.Scripted = true;
    TTextScreen screen(100, 30);
    explorer::TExplorer app(options, screen);
    app.Start();
    explorer::TScriptInput input(explorer::ParseKeyScript(keys));
    app.Run(input, {});
    app.Render();
    return screen;
}

// The attributes of the first cell, below the title and in columns from to to, that shows
// text's first character followed by the rest of text.
TCellAttr AttrOf(const TTextScreen& screen, int from, int to, const std::string& text) {
    for (int y = 2; y < screen.Height(); ++y)
        for (int x = from; x < to; ++x) {
            std::string shown;
            for (int k = x; k < screen.Width() && shown.size() < text.size(); ++k)
                shown += screen.At(k, y).Glyph;
            if (shown == text) return screen.At(x, y).Attr;
        }
    ADD_FAILURE() << "no '" << text << "' in " << screen.ToText();
    return {};
}

TEST_F(ExplorerTest, HelpListsEveryKeyAndScrollsWhenTheScreenIsShort) {
    TRun help = Keys("?");
    for (const char* key : {"Enter, double click", "Backspace", "/ or Ctrl-F, n or F3", "F2", "Ins",
                            "Del", "m ... m", "F5", "F6", "F4, Alt-Down", "Space", "d, F7",
                            "F9, Shift-F10", "p ", "q, F10", "Esc", "click on an answer"})
        EXPECT_TRUE(help.Shows("  " + std::string(key))) << key << "\n" << help.Screen;
    EXPECT_TRUE(help.Shows("Any key closes this help."));
    // On 20 rows the help scrolls with Up and Down and says which lines it shows.
    std::string shortSize = "--size 100x20";
    TRun top = Keys("?", shortSize);
    EXPECT_TRUE(top.Shows("Lines 1-15 of 24")) << top.Screen;
    TRun down =
        Keys("?<Down><Down><Down><Down><Down><Down><Down><Down><Down><Down><Down>", shortSize);
    EXPECT_TRUE(down.Shows("Lines 10-24 of 24")) << down.Screen;
    EXPECT_TRUE(down.Shows("q, F10")) << down.Screen;
    EXPECT_FALSE(Keys("?<Down><Enter>", shortSize).Shows("Lines ")) << "Enter closes it";
}

TEST_F(ExplorerTest, TheStatusLineNamesTheKeysOfTheFocusedControl) {
    auto statusLine = [](const TRun& run) {
        std::string screen = run.Screen;
        while (!screen.empty() && screen.back() == '\n')
            screen.pop_back();
        return screen.substr(screen.rfind('\n') + 1);
    };
    EXPECT_NE(statusLine(Keys("")).find("/:Find"), std::string::npos);
    EXPECT_NE(statusLine(Keys("<Tab>")).find("Enter:Open"), std::string::npos);
    std::string status = statusLine(Keys("<Tab><Tab>"));
    EXPECT_NE(status.find("Status: Up/Down:Choose  F4/Alt-Down:List"), std::string::npos) << status;
    std::string flag = statusLine(Keys("<Tab><Tab><Tab><Tab>"));
    EXPECT_NE(flag.find("Belongings: Space:Toggle"), std::string::npos) << flag;
    // In text the record panel's frame points at the focused control's row.
    TRun run = Keys("<Tab><Tab><Tab><Tab>");
    EXPECT_NE(run.LineWith("Flags").find("│▶ Flags"), std::string::npos) << run.Screen;
    EXPECT_NE(Keys("<Tab><Tab>").LineWith("Status").find("│▶ Status"), std::string::npos);
}

TEST_F(ExplorerTest, OnlyTheFocusedControlShowsItsSelectionInReverse) {
    // The tree takes the left 40 columns; the status combo is on the right.
    TTextScreen tree = RunHere(db, "");
    EXPECT_TRUE(AttrOf(tree, 0, 39, "Orvel Agro Ltd").Reverse);
    EXPECT_FALSE(AttrOf(tree, 40, 100, "Active").Reverse);

    TTextScreen combo = RunHere(db, "<Tab><Tab>");
    TCellAttr selected = AttrOf(combo, 0, 39, "Orvel Agro Ltd");
    EXPECT_FALSE(selected.Reverse) << "the tree keeps its selection bold and underlined";
    EXPECT_TRUE(selected.Bold && selected.Underline);
    EXPECT_TRUE(AttrOf(combo, 40, 100, "Active").Reverse);
}

} // namespace
} // namespace orvel::test

namespace orvel::test {
namespace {

std::string ReadFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    std::string data;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        data.append(chunk, n);
    std::fclose(file);
    return data;
}

void WriteFile(const std::string& path, const std::string& data) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
}

TEST_F(ExplorerTest, PictureExportAsksForTheFileAndNeverOverwritesSilently) {
    TRun asked = Keys("p");
    EXPECT_TRUE(asked.Shows("File: orvel-images.png")) << asked.Screen;
    EXPECT_TRUE(asked.Shows("Save images as PNG in "));
    // Written where the message says.
    const std::string wide = "--size 200x30";
    TRun written = Keys("p<Enter>", wide);
    EXPECT_TRUE(written.Shows("Images written to " + dir + "/orvel-images.png, " + dir +
                              "/orvel-images-state.png"))
        << written.Screen;
    EXPECT_EQ(ReadFile(dir + "/orvel-images.png").substr(1, 3), "PNG");

    // An existing file is kept unless the person says to overwrite it.
    WriteFile(dir + "/orvel-images.png", "keep me");
    TRun kept = Keys("p<Enter><Dump><Esc>");
    EXPECT_TRUE(kept.Shows("orvel-images.png, orvel-images-state.png exist")) << kept.Screen;
    EXPECT_TRUE(kept.Shows("Nothing written"));
    EXPECT_EQ(ReadFile(dir + "/orvel-images.png"), "keep me");
    Keys("p<Enter>o");
    EXPECT_EQ(ReadFile(dir + "/orvel-images.png").substr(1, 3), "PNG");

    // A name of one's own (Ctrl-U clears the suggestion); ".png" is added where missing.
    TRun own = Keys("p<C-u>mine<Enter>", wide);
    EXPECT_TRUE(own.Shows("Images written to " + dir + "/mine.png, " + dir + "/mine-state.png"))
        << own.Screen;
    // A folder that does not exist is an error, and nothing is said to be written.
    TRun bad = Keys("p<C-u>no/such/folder/x.png<Enter>");
    EXPECT_FALSE(bad.Shows("Images written")) << bad.Screen;
    EXPECT_FALSE(std::filesystem::exists(dir + "/no"));
}

} // namespace
} // namespace orvel::test

namespace orvel::test {
namespace {

TEST_F(ExplorerTest, TheStatusListOffersOnlyStatusesThatFitTheRecordsClass) {
    // An organisation: statuses for all classes only.
    TRun company = Keys("<Tab><Tab><F4>");
    EXPECT_TRUE(company.Shows("Planned")) << company.Screen;
    EXPECT_TRUE(company.Shows("Idle"));
    EXPECT_FALSE(company.Shows("In repair")) << company.Screen;
    EXPECT_FALSE(company.Shows("Retired"));
    // A tractor is equipment: its list holds the equipment statuses too.
    TRun tractor = Keys("/Tractor T-200<Enter><Tab><Tab><F4>");
    EXPECT_TRUE(tractor.Shows("In repair")) << tractor.Screen;
    EXPECT_TRUE(tractor.Shows("Retired"));
    // A record holding a status its class does not take still shows it.
    Exec("UPDATE Objects SET StatusID = 5 WHERE OriginID = 1 AND ObjectID = 1");
    EXPECT_TRUE(Keys("").Shows("Status  Lost"));
}

TEST_F(ExplorerTest, ANewRecordStartsWithAClassItsOwnerMayOwnAndTheClassCanBeChosen) {
    // A child of the company (an organisation may own sites and departments) starts as a site.
    Keys("i<Ins>Depot 9<Enter>");
    EXPECT_EQ(Query("SELECT ClassID FROM Objects WHERE Name = 'Depot 9'"), "3");
    // Shift-Tab from the tree reaches the class combo: Down chooses the next class, Enter saves.
    TRun shown = Keys("<S-Tab>");
    EXPECT_TRUE(shown.Shows("Class Organisation")) << shown.Screen;
    TRun chosen = Keys("/Depot 9<Enter><S-Tab><Down><Enter>");
    EXPECT_TRUE(chosen.Shows("Class Building")) << chosen.Screen;
    EXPECT_EQ(Query("SELECT ClassID FROM Objects WHERE Name = 'Depot 9'"), "4");
    // The choice offers no abstract class.
    TRun list = Keys("<S-Tab><F4>");
    EXPECT_TRUE(list.Shows("Department")) << list.Screen;
    EXPECT_FALSE(list.Shows("Equipment")) << list.Screen;
}

} // namespace
} // namespace orvel::test

namespace orvel::test {
namespace {

TEST_F(ExplorerTest, LargeIconsShowThePicturesAndNamesOnTwoLines) {
    // The list's popup menu, its View menu, Large Icons; Partners and Suppliers' children have
    // long names.
    TRun run = Keys("<Down><RClick:50,4><Enter><Enter>");
    std::string icons = run.LineWith("● ■      ● ■");
    EXPECT_FALSE(icons.empty()) << "status and class glyphs above each name: " << run.Screen;
    EXPECT_TRUE(run.Shows("Eriksen")) << run.Screen;
    EXPECT_TRUE(run.Shows("Machiner")) << "the second word goes to the next line";
    EXPECT_EQ(run.LineWith("Dahl").find("Seeds"), std::string::npos);
    EXPECT_FALSE(run.LineWith("Seeds").empty());
}

TEST_F(ExplorerTest, HomeAndEndMoveToTheFirstAndLastItemOfAPopupMenu) {
    TRun end = Keys("<RClick:5,2><End><Dump><Enter>p<Enter>", "--size 200x30");
    EXPECT_NE(end.LineWith("Save images as PNG").find("›"), std::string::npos) << end.Screen;
    EXPECT_TRUE(end.Shows("Images written to")) << "End chose the last item: " << end.Screen;
    TRun home = Keys("<RClick:5,2><End><Home><Enter>");
    EXPECT_TRUE(TRun::IsOpen(home.TreeRow("Orvel Agro Ltd")))
        << "Home chose Expand: " << home.Screen;
}

TEST_F(ExplorerTest, AnAttributesPickListStaysInsideTheRecordPanel) {
    // Field A1's Crop attribute (the second row of the grid, near the panel's bottom) drops its
    // five choices down.
    TRun run = Keys("/Field A1<Enter><Tab><Tab><Tab><Tab><Tab><Tab><Tab><Tab><Down><A-Down>");
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < run.Screen.size();) {
        std::size_t end = run.Screen.find('\n', start);
        if (end == std::string::npos) end = run.Screen.size();
        lines.push_back(run.Screen.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_GE(lines.size(), 30u) << run.Screen;
    // The panel's bottom edge (row 27) and the message line below it are not covered.
    EXPECT_NE(lines[27].find("└──────────────────────────────────────────────────────────┘"),
              std::string::npos)
        << run.Screen;
    EXPECT_EQ(lines[28].find("Fallow"), std::string::npos) << run.Screen;
    // All five choices show, inside the panel (rows 18 to 26), over the rows above the cell
    // where there is no room below it.
    for (const char* choice : {"Wheat", "Barley", "Maize", "Rapeseed", "Fallow"}) {
        std::size_t row = 0;
        while (row < lines.size() && (lines[row].find(choice) == std::string::npos ||
                                      lines[row].find("Crop") != std::string::npos))
            ++row;
        EXPECT_TRUE(row >= 18 && row <= 26) << choice << " in row " << row << "\n" << run.Screen;
    }
}

} // namespace
} // namespace orvel::test
