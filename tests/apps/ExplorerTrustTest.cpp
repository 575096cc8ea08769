// The explorer end to end: no edit is lost or dropped without a word. Typed attribute values
// are saved, a rename keeps the name the keys leave, pending changes are settled before a
// reload or a switch, a post shows in every panel, a locked or read-only database is reported
// as it is.
#include "tests/apps/ExplorerRun.h"

#include <chrono>

namespace orvel::test {
namespace {

const char* const kToTheGrid = "<Tab><Tab><Tab><Tab><Tab><Tab><Tab><Tab>";
const char* const kStatusOfTheCompany =
    "SELECT StatusID FROM Objects WHERE OriginID = 1 AND ObjectID = 1";

std::string AttributeOf(const std::string& object, int attribute) {
    return "SELECT v.Value FROM AttributeValues v JOIN Objects o ON o.OriginID = v.OriginID AND "
           "o.ObjectID = v.ObjectID WHERE o.Name = '" +
           object + "' AND v.AttributeID = " + std::to_string(attribute);
}

// A second connection of the test process that holds a lock on the test's database while the
// explorer runs.
class TLockHolder {
public:
    TLockHolder(const std::string& file, const std::string& sql) {
        EXPECT_EQ(sqlite3_open(file.c_str(), &FHandle), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(FHandle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(FHandle);
    }
    ~TLockHolder() {
        sqlite3_exec(FHandle, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(FHandle);
    }
    TLockHolder(const TLockHolder&) = delete;
    TLockHolder& operator=(const TLockHolder&) = delete;

private:
    sqlite3* FHandle = nullptr;
};

// Runs a key script with a lock taken by the test process once the explorer has started: the
// script opens with screen dumps that fill the output pipe, so the explorer waits on its output
// until the lock is held. Answers the last screen.
class LockedExplorerTest : public ExplorerTest {
protected:
    TRun KeysUnderLock(const std::string& script, const std::string& lockSql, double& seconds) {
        std::string dumps;
        for (int i = 0; i < 100; ++i)
            dumps += "<Dump>";
        std::string command = "cd " + ShellQuote(dir) + " && " + ShellQuote(ORVEL_EXPLORER) +
                              " --size 100x30 --keys " + ShellQuote(dumps + script) + " " +
                              ShellQuote(db) + " 2>&1";
        TRun run;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return run;
        std::array<char, 4096> chunk{};
        std::size_t n;
        while (run.Screen.find("--- dump 1 ---") == std::string::npos &&
               (n = fread(chunk.data(), 1, 64, pipe)) > 0)
            run.Screen.append(chunk.data(), n);
        auto start = std::chrono::steady_clock::now();
        {
            TLockHolder lock(db, lockSql);
            while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
                run.Screen.append(chunk.data(), n);
            run.ExitCode = pclose(pipe);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(run.ExitCode, 0) << run.Screen;
        // The last screen: its 30 lines at the end of the output.
        std::size_t at = run.Screen.size();
        for (int lines = 0; lines <= 30 && at != std::string::npos && at > 0; ++lines)
            at = run.Screen.rfind('\n', at - 1);
        run.Screen = run.Screen.substr(at == std::string::npos ? 0 : at + 1);
        return run;
    }
};

TEST_F(ExplorerTest, TypedAttributeValuesAreSavedOnEnterAndOnLeavingTheCellOrTheGrid) {
    // Enter saves; Tab away keeps it.
    TRun entered = Keys(std::string(kToTheGrid) + "Bob<Enter>");
    EXPECT_TRUE(entered.Shows("Saved Owner contact: Bob")) << entered.Screen;
    EXPECT_EQ(Query(AttributeOf("Orvel Agro Ltd", 1)), "Bob");

    // Field A1: Owner contact, Crop, Area (ha). Down leaves the cell, Tab leaves the grid.
    const std::string fieldA1 = "<Right><Down><Down><Right><Down><Down><Down><Down><Down>";
    Keys(fieldA1 + kToTheGrid + "Ann<Down><Down>12.5<Tab>");
    EXPECT_EQ(Query(AttributeOf("Field A1", 1)), "Ann");
    EXPECT_EQ(Query(AttributeOf("Field A1", 8)), "12.5");

    // A click in the tree leaves the grid too: the value goes to the record it was typed for.
    Keys(std::string(kToTheGrid) + "Carl<Click:5,3>");
    EXPECT_EQ(Query(AttributeOf("Orvel Agro Ltd", 1)), "Carl");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM AttributeValues WHERE Value = 'Carl'"), "1");

    // Escape in the cell puts the stored value back; nothing is written.
    Keys(std::string(kToTheGrid) + "Dora<Esc><Tab>");
    EXPECT_EQ(Query(AttributeOf("Orvel Agro Ltd", 1)), "Carl");
}

TEST_F(ExplorerTest, RenameInPlaceKeepsTheNameTheEditingKeysLeave) {
    // End then Backspace takes one character, not the whole selected name.
    TRun run = Keys("<Down><F2><End><BS><Enter>");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Partners and Supplier'"), "1")
        << run.Screen;
    // Home, Ctrl+Right over a word, Shift+End selects the rest, typing replaces it.
    Keys("<Down><F2><Home><C-Right><S-End>Co<Enter>");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Partners Co'"), "1");
    // Left, Del, and a multi-byte character typed in the middle.
    Keys("<Down><F2><End><Left><Del>ø<Enter>");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'Partners Cø'"), "1");
}

TEST_F(ExplorerTest, AnEmptyNameIsRefusedWhereTheNameIsRequired) {
    Exec("CREATE TABLE Things (Id INTEGER PRIMARY KEY, ParentId INTEGER, Name TEXT NOT NULL);"
         "INSERT INTO Things VALUES (1, NULL, 'Alpha'), (2, 1, 'Beta');");
    const std::string view = "--table Things --links ParentId-\\>Id --root null --image-field '' "
                             "--status-field '' --key-fields Id --columns ''";
    TRun refused = Keys("<F2><End><BS><BS><BS><BS><BS><Enter>", view);
    EXPECT_TRUE(refused.Shows("A name is required")) << refused.Screen;
    EXPECT_EQ(Query("SELECT Name FROM Things WHERE Id = 1"), "Alpha");
    // The editor stays open: a typed name is then saved, Escape keeps the old one.
    Keys("<F2><End><BS><BS><BS><BS><BS><Enter>Omega<Enter>", view);
    EXPECT_EQ(Query("SELECT Name FROM Things WHERE Id = 1"), "Omega");
    Keys("<F2><BS><Enter><Esc>", view);
    EXPECT_EQ(Query("SELECT Name FROM Things WHERE Id = 1"), "Omega");
}

TEST_F(ExplorerTest, ReloadOrSwitchingPanelsAsksBeforeDroppingAPendingChange) {
    // The company's statuses are Planned, Active (stored) and Idle: Down chooses Idle (3).
    TRun asked = Keys("<Tab><Tab><Down><F5>");
    EXPECT_TRUE(asked.Shows("Unsaved changes.  p: post and reload")) << asked.Screen;
    EXPECT_EQ(Query(kStatusOfTheCompany), "1");

    TRun posted = Keys("<Tab><Tab><Down><F5>p");
    EXPECT_TRUE(posted.Shows("Reloaded")) << posted.Screen;
    EXPECT_EQ(Query(kStatusOfTheCompany), "3");

    TRun cancelled = Keys("<Tab><Tab><Up><F5>c");
    EXPECT_TRUE(cancelled.Shows("Status  Idle")) << cancelled.Screen;
    EXPECT_EQ(Query(kStatusOfTheCompany), "3");

    TRun back = Keys("<Tab><Tab><Up><F5><Esc>");
    EXPECT_EQ(Query(kStatusOfTheCompany), "3") << back.Screen;

    Keys("<Tab><Tab><Up><F6>p");
    EXPECT_EQ(Query(kStatusOfTheCompany), "1");
    // Moving the selection in the tree with the mouse posts first.
    Keys("<Tab><Tab><Down><Click:5,3>");
    EXPECT_EQ(Query(kStatusOfTheCompany), "3");
}

TEST_F(ExplorerTest, APostInOnePanelShowsInEveryPanelWithoutReload) {
    // Renamed in the list: the tree's caption follows.
    TRun fromList = Keys("<Enter><Tab><F2>HQ<Enter>");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'HQ'"), "1") << fromList.Screen;
    EXPECT_NE(fromList.TreeRow("HQ"), "") << fromList.Screen;
    EXPECT_EQ(fromList.TreeRow("Head Office"), "") << fromList.Screen;

    // Renamed in the tree: the list of its owner's children shows the new name.
    TRun fromTree = Keys("<Enter><Down><F2>Main Office<Enter><Up>");
    EXPECT_EQ(fromTree.LineWith("HQ"), "") << fromTree.Screen;
    std::string listed = fromTree.LineWith("Main Office");
    EXPECT_NE(listed, "") << fromTree.Screen;
}

TEST_F(LockedExplorerTest, ALockedDatabaseStopsAnEditOnceAndTypingIsNoCommand) {
    std::string before = Query("SELECT Name FROM Objects WHERE ObjectID = 1 AND OriginID = 1");
    double seconds = 0;
    TRun run = KeysUnderLock("<Down><F2>dim<Enter>", "BEGIN EXCLUSIVE", seconds);
    EXPECT_TRUE(run.Shows("locked")) << run.Screen;
    EXPECT_FALSE(run.Shows("Palette")) << "d opened the designer:\n" << run.Screen;
    // A generous bound: the keys must not each wait seconds for the lock.
    EXPECT_LT(seconds, 8.0);
    // The tree, the list and the record panel show one record, whichever it is.
    auto together = [&run](const std::string& name) {
        return TRun::IsSelected(run.TreeRow(name)) && run.Shows("Owned by " + name) &&
               run.Shows("Name    " + name);
    };
    EXPECT_TRUE(together("Orvel Agro Ltd") || together("Partners and Suppliers")) << run.Screen;
    EXPECT_EQ(Query("SELECT Name FROM Objects WHERE ObjectID = 1 AND OriginID = 1"), before);

    // An insert that cannot begin drops the typed name the same way.
    TRun insert = KeysUnderLock("<Ins>dim<Enter>", "BEGIN EXCLUSIVE", seconds);
    EXPECT_TRUE(insert.Shows("typing is ignored")) << insert.Screen;
    EXPECT_FALSE(insert.Shows("Palette")) << insert.Screen;
    EXPECT_LT(seconds, 8.0);

    // A writer's lock lets the rename begin; its post fails and says so, nothing is a command.
    TRun writer = KeysUnderLock("<Down><F2>dim<Enter>",
                                "BEGIN IMMEDIATE; UPDATE Objects SET Flags = Flags + 0", seconds);
    EXPECT_FALSE(writer.Shows("Palette")) << writer.Screen;
    EXPECT_TRUE(writer.Shows("locked")) << writer.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects WHERE Name = 'dim'"), "0");
}

TEST_F(ExplorerTest, AReadOnlyDatabaseSaysWhatReallyHappenedToAnEdit) {
    // A write version above 2 in the file header makes the engine open the file read-only.
    std::string before = Query("SELECT COUNT(*) FROM Objects");
    {
        FILE* f = std::fopen(db.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fseek(f, 18, SEEK_SET), 0);
        ASSERT_EQ(std::fputc(3, f), 3);
        std::fclose(f);
    }
    TRun run = Keys("<Ins>West Farm<Enter><Del>y");
    EXPECT_FALSE(run.Shows("Deleted")) << run.Screen;
    EXPECT_TRUE(run.Shows("never saved")) << run.Screen;
    EXPECT_EQ(run.TreeRow("West Farm"), "") << run.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM Objects"), before);

    // A typed attribute that cannot be saved says so, and the grid shows the stored value.
    TRun attribute = Keys(std::string(kToTheGrid) + "Bob<Enter>");
    EXPECT_TRUE(attribute.Shows("Could not save Owner contact")) << attribute.Screen;
    EXPECT_EQ(attribute.LineWith("Owner contact").find("Bob"), std::string::npos)
        << attribute.Screen;
    EXPECT_EQ(Query("SELECT COUNT(*) FROM AttributeValues WHERE Value = 'Bob'"), "0");
}

} // namespace
} // namespace orvel::test
