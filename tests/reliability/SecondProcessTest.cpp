// Another process works on the same database file while the tree and the list are open: it
// renames, deletes, inserts and re-parents records, and holds the database locked. The views
// never crash, keep working with what they show, tell of a busy database with the engine's
// error, and after a reload show every record under the parent its fields name.
#include "tests/reliability/ReliabilityWorld.h"

#include "orvel/host/core/Exceptions.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace orvel::test {
namespace {

// A second process with its own connection to the database file. It runs one statement of its
// script each time it is told to, and answers 'K' when the statement ran or 'E' when the engine
// refused it.
class TPeer {
public:
    TPeer(const std::string& fileName, std::vector<std::string> script) {
        int toPeer[2], fromPeer[2];
        if (pipe(toPeer) != 0 || pipe(fromPeer) != 0) throw std::runtime_error("pipe");
        FPid = fork();
        if (FPid < 0) throw std::runtime_error("fork");
        if (FPid == 0) {
            close(toPeer[1]);
            close(fromPeer[0]);
            Run(fileName, script, toPeer[0], fromPeer[1]);
        }
        close(toPeer[0]);
        close(fromPeer[1]);
        FTo = toPeer[1];
        FFrom = fromPeer[0];
    }
    ~TPeer() {
        close(FTo);
        close(FFrom);
        int status = 0;
        waitpid(FPid, &status, 0);
    }
    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;

    // Runs the next statement of the script in the other process; its answer.
    char Step() {
        char go = 'G', answer = 0;
        if (write(FTo, &go, 1) != 1) return 0;
        if (read(FFrom, &answer, 1) != 1) return 0;
        return answer;
    }

private:
    [[noreturn]] static void Run(const std::string& fileName,
                                 const std::vector<std::string>& script, int in, int out) {
        std::unique_ptr<TSqlConnection> connection;
        try {
            connection = OpenSqliteConnection(fileName);
        } catch (...) {
            _exit(2);
        }
        for (const std::string& sql : script) {
            char go = 0;
            if (read(in, &go, 1) != 1) break;
            char answer = 'K';
            try {
                connection->Execute(sql);
            } catch (...) {
                answer = 'E';
            }
            if (write(out, &answer, 1) != 1) break;
        }
        connection.reset();
        _exit(0);
    }

    pid_t FPid = -1;
    int FTo = -1;
    int FFrom = -1;
};

class SecondProcessTest : public ReliabilityWorld {
protected:
    // The user goes over what the views show, as a person would while the table changes under
    // them: every shown node and item is chosen in turn, and every branch opened.
    void Browse() {
        std::vector<std::string> captions;
        for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext())
            captions.push_back(n->Text());
        for (const std::string& caption : captions) {
            TDBTreeNode* node = Node(caption);
            if (!node || node->DisplayRect(true).IsEmpty()) continue;
            click(*tree, center_of(node->DisplayRect(true)));
            run_messages();
        }
        for (int i = 0; i < list->Items()->Count(); ++i) {
            list->Items()->Item(i)->MakeVisible(false);
            click(*list, ItemPoint(i));
            run_messages();
        }
        tree->FullExpand();
        run_messages();
    }
    void ExpectAtRest() {
        EXPECT_FALSE(tree->IsStopped());
        EXPECT_FALSE(list->IsStopped());
        EXPECT_FALSE(table->ControlsDisabled());
        EXPECT_FALSE(table->RangeApplied());
    }
    // The errors the loop showed are the engine's and the views' own; none is left over.
    void ExpectOnlyClearErrors() {
        for (const std::string& shown : Application().ShownErrors)
            EXPECT_FALSE(shown.empty());
        Application().ShownErrors.clear();
    }
    void ReloadAndCompare(const std::string& step) {
        list->Reload();
        run_messages();
        EXPECT_EQ(TreeMismatch(), "") << step;
        EXPECT_EQ(ListMismatch(), "") << step;
        EXPECT_TRUE(Application().ShownErrors.empty()) << step;
    }
};

TEST_F(SecondProcessTest, RecordsChangedElsewhereAreShownWhereTheirParentsAreAfterAReload) {
    Bind();
    tree->FullExpand();
    run_messages();
    click(*tree, center_of(Node("North")->DisplayRect(true)));
    run_messages();
    const std::vector<std::pair<std::string, std::string>> steps = {
        {"rename", "UPDATE ORGANIZATION SET NAME = 'Laboratory' WHERE ID = 6"},
        {"re-parent the chosen record", "UPDATE ORGANIZATION SET PARENT_ID = 7 WHERE ID = 3"},
        {"delete a leaf", "DELETE FROM ORGANIZATION WHERE ID = 8"},
        {"insert under a record", "INSERT INTO ORGANIZATION (ID, PARENT_ID, NAME) "
                                  "VALUES (30, 4, 'Harbour')"},
        {"move a branch", "UPDATE ORGANIZATION SET PARENT_ID = 3 WHERE ID = 5"},
        {"delete a record with children", "DELETE FROM ORGANIZATION WHERE ID = 2"},
        {"make a record top-level", "UPDATE ORGANIZATION SET PARENT_ID = NULL WHERE ID = 30"},
        {"make two records parents of each other",
         "UPDATE ORGANIZATION SET PARENT_ID = 6 WHERE ID = 5"},
    };
    std::vector<std::string> script;
    for (const auto& step : steps)
        script.push_back(step.second);
    TPeer peer(db->FileName(), script);
    for (const auto& [step, sql] : steps) {
        SCOPED_TRACE(step);
        ASSERT_EQ(peer.Step(), 'K');
        // What the views show is now out of date: the user keeps working with it.
        Browse();
        ExpectOnlyClearErrors();
        ExpectAtRest();
        ReloadAndCompare(step);
        Browse();
        ExpectOnlyClearErrors();
        ExpectAtRest();
    }
}

TEST_F(SecondProcessTest, ABusyDatabaseIsReportedAndNothingTypedIsLost) {
    Bind();
    tree->FullExpand();
    run_messages();
    click(*tree, center_of(Node("North")->DisplayRect(true)));
    run_messages();
    TPeer peer(db->FileName(), {"BEGIN EXCLUSIVE", "COMMIT"});

    press_key(*tree, VK_F2);
    type_caption(*tree, "North-East");
    ASSERT_EQ(table->State(), dsEdit);
    ASSERT_EQ(peer.Step(), 'K'); // the other process locks the database
    // Choosing another node posts the rename first: the engine waits, then reports the lock.
    click(*tree, center_of(Node("Sales")->DisplayRect(true)));
    run_messages();
    ASSERT_FALSE(Application().ShownErrors.empty());
    EXPECT_EQ(Application().ShownErrors.front(), "database is locked");
    Application().ShownErrors.clear();
    EXPECT_EQ(table->State(), dsEdit);
    EXPECT_EQ(table->FieldByName("NAME")->GetAsString(), "North-East");
    EXPECT_EQ(tree->Selected(), Node("North-East"));
    ExpectAtRest();

    // A reload while the lock is held is refused the same way and leaves the views at rest.
    table->Cancel();
    EXPECT_THROW(list->Reload(), EDatabaseError);
    run_messages();
    ExpectAtRest();
    Application().ShownErrors.clear();

    ASSERT_EQ(peer.Step(), 'K'); // the lock is released
    if (!table->GetActive()) table->Open();
    run_messages();
    ReloadAndCompare("after the lock");
    tree->FullExpand();
    click(*tree, center_of(Node("North")->DisplayRect(true)));
    press_key(*tree, VK_F2);
    type_caption(*tree, "North-East");
    click(*tree, center_of(Node("Sales")->DisplayRect(true)));
    run_messages();
    EXPECT_TRUE(Application().ShownErrors.empty());
    EXPECT_EQ(StoredRecords(db->FileName())[3].Name, "North-East");
}

} // namespace
} // namespace orvel::test
