// The explorer's command line end to end: view options the table does not have stop the start
// with a message naming the option and the wrong part, a root no record has is told on the
// message line, and key scripts can come from a file.
#include "tests/apps/ExplorerRun.h"

#include <fstream>
#include <sys/stat.h>

namespace orvel::test {
namespace {

class ExplorerOptionsTest : public ExplorerTest {
protected:
    // A start with the given view options on the sample database: it must fail with exit code 1
    // and a message holding each of the expected parts.
    void ExpectRefused(const std::string& options, const std::vector<std::string>& parts) {
        TRun run = Command("--keys '' " + options + " " + ShellQuote(db));
        EXPECT_EQ(run.ExitCode, 1) << options << "\n" << run.Screen;
        EXPECT_TRUE(run.Shows("orvel-explorer: ")) << run.Screen;
        for (const std::string& part : parts)
            EXPECT_TRUE(run.Shows(part)) << options << ": no '" << part << "' in\n" << run.Screen;
        EXPECT_FALSE(run.Shows("┌")) << "no screen is drawn: " << run.Screen;
    }

    const std::string classes = "--table Classes --links " + ShellQuote("AncestorID->ClassID");
};

TEST_F(ExplorerOptionsTest, ARelationTextThatNamesNoValidPairIsRefusedNamingThePart) {
    ExpectRefused("--links garbage", {"--links", "'garbage' is not a pair PARENT->KEY"});
    ExpectRefused("--links " + ShellQuote("OwnerOriginID->nosuch;OwnerObjectID->ObjectID"),
                  {"--links 'OwnerOriginID->nosuch'", "no field 'nosuch'"});
    ExpectRefused("--links " + ShellQuote("->ObjectID"), {"'->ObjectID' is not a pair"});
    ExpectRefused("--links ' ; '", {"--links names no pair"});
    ExpectRefused(classes + " --links " + ShellQuote("parent_id->nosuch"),
                  {"the table Classes has no field 'parent_id'"});
}

TEST_F(ExplorerOptionsTest, ARootKeyMustHaveOneValuePerPairAndAnEmptyTreeSaysWhy) {
    ExpectRefused("--root ''", {"--root is empty", "2 value(s)"});
    ExpectRefused(classes + " --root " + ShellQuote("1;2"),
                  {"--root '1;2' has 2 value(s), but --links has 1 pair(s)"});
    ExpectRefused("--root " + ShellQuote("1;one"), {"'one'"});

    // A root no record has: the explorer runs, and the message line says why nothing shows.
    TRun empty = Keys("", classes + " --root 999999999");
    EXPECT_TRUE(empty.Shows("The tree is empty: no record of Classes has the parent key "
                            "999999999"))
        << empty.Screen;
    // Without --root the top level is the records without a parent, one null per pair, and
    // the list tells its records apart by the key side of the pairs.
    TRun top = Keys("<Enter>", classes);
    EXPECT_TRUE(TRun::IsOpen(top.TreeRow("Object"))) << top.Screen;
    EXPECT_TRUE(top.Shows("Equipment"));
    EXPECT_FALSE(top.Shows("The tree is empty"));
    // A table without records says so instead.
    Exec("DELETE FROM Classes");
    TRun none = Keys("", classes);
    EXPECT_TRUE(none.Shows("The tree is empty: the table Classes has no records")) << none.Screen;
}

TEST_F(ExplorerOptionsTest, FieldOptionsNamingWhatTheTableLacksAreRefused) {
    ExpectRefused("--columns " + ShellQuote("StartDate;nosuch"),
                  {"--columns: the table Objects has no field 'nosuch'"});
    ExpectRefused("--key-fields nosuch", {"--key-fields: the table Objects has no field 'nosuch'"});
    ExpectRefused("--name-field nosuch", {"--name-field", "'nosuch'"});
    ExpectRefused("--image-field Name", {"--image-field: 'Name' is not a whole-number column"});
    ExpectRefused("--status-field nosuch", {"--status-field", "'nosuch'"});
    // '' still means no pictures.
    TRun plain = Keys("", "--image-field '' --status-field ''");
    EXPECT_TRUE(plain.Shows("Orvel Agro Ltd")) << plain.Screen;
}

TEST_F(ExplorerOptionsTest, AKeyScriptCanBeReadFromAFile) {
    std::string file = dir + "/open.keys";
    std::ofstream(file) << "<Enter>\n<Down>\n";
    for (const std::string& option :
         {"--keys-file " + ShellQuote(file), "--keys " + ShellQuote("@" + file)}) {
        TRun run = Command("--size 100x30 " + option + " " + ShellQuote(db));
        EXPECT_EQ(run.ExitCode, 0) << option << "\n" << run.Screen;
        EXPECT_TRUE(TRun::IsOpen(run.TreeRow("Orvel Agro Ltd"))) << option << "\n" << run.Screen;
        EXPECT_TRUE(TRun::IsSelected(run.TreeRow("Head Office"))) << run.Screen;
    }
    TRun missing = Command("--keys-file " + ShellQuote(dir + "/none.keys") + " " + ShellQuote(db));
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(missing.Shows("--keys-file: cannot read the file")) << missing.Screen;
    TRun help = Command("--help");
    EXPECT_TRUE(help.Shows("--keys-file FILE")) << help.Screen;
    EXPECT_TRUE(help.Shows("--keys @FILE"));
}

TEST_F(ExplorerOptionsTest, ASampleIsWrittenOverARegularFileButNeverOverAPipeOrAFolder) {
    std::string pipe = dir + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string folder = dir + "/folder";
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/kept.txt") << "kept";
    for (const std::string& target : {pipe, folder}) {
        TRun run = Command("--sample " + ShellQuote(target));
        EXPECT_EQ(run.ExitCode, 1) << run.Screen;
        EXPECT_TRUE(run.Shows("is not a regular file")) << run.Screen;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_TRUE(std::filesystem::exists(folder + "/kept.txt"));
    // A regular file by that name is replaced by a fresh sample.
    std::string old = dir + "/old.db";
    std::ofstream(old) << "not a database";
    TRun over = Command("--sample " + ShellQuote(old));
    EXPECT_EQ(over.ExitCode, 0) << over.Screen;
    EXPECT_GT(std::filesystem::file_size(old), 1000u);
}

} // namespace
} // namespace orvel::test
