// Engine failures during the main user stories of the tree view, the list view and the
// field-bound controls. Each story is first run without failure, counting its engine calls; then
// once for every n, with the n-th of those calls failing (a busy database, an I/O error or a
// constraint violation in turn). After every failure:
// - the error reached the caller as EDatabaseError, or was shown by the message loop; an error
//   that nobody reported left the table as the story without failure leaves it;
// - the table, read over a second connection, is as before the story or as after it: nothing
//   half done, no committed record changed or lost;
// - the dataset is browsing, or still editing with the typed values, which a second post stores;
// - the views' busy counters, the dataset's control bracketing and its range are at rest;
// - after a reload the tree and the list show what the table holds.
#include "tests/reliability/ReliabilityWorld.h"

#include "orvel/host/core/Exceptions.h"

#include <algorithm>
#include <functional>
#include <iostream>
#include <optional>

namespace orvel::test {
namespace {

struct TStory {
    std::string Name;
    // Brings the form to the story's start, without failures.
    std::function<void()> Prepare;
    // What the user does; failures are injected here.
    std::function<void()> Act;
};

const TSqlFault kFaults[] = {
    {5, "database is locked"}, {10, "disk I/O error"}, {19, "constraint failed"}};

// The figures of every story, printed at the end of the suite.
struct TFigures {
    int Injected = 0;
    int Survived = 0;
};
std::map<std::string, TFigures>& Figures() {
    static std::map<std::string, TFigures> figures;
    return figures;
}

class FaultInjectionTest : public ReliabilityWorld {
protected:
    static void TearDownTestSuite() {
        int injected = 0, survived = 0;
        for (const auto& [name, f] : Figures()) {
            std::cout << "[ faults ] " << name << ": " << f.Injected << " injected, " << f.Survived
                      << " survived\n";
            injected += f.Injected;
            survived += f.Survived;
        }
        std::cout << "[ faults ] all stories: " << injected << " injected, " << survived
                  << " survived\n";
    }

    TSqlConnection& Engine() { return db->Database().Connection(); }

    // The stories, each over a freshly made form (SetUp has run; the view is not bound yet).
    std::vector<TStory> Stories() {
        auto bound = [this] {
            Bind();
            tree->FullExpand();
            run_messages();
        };
        auto onNode = [this, bound](const std::string& caption) {
            return [this, bound, caption] {
                bound();
                click(*tree, center_of(Node(caption)->DisplayRect(true)));
                run_messages();
            };
        };
        return {
            {"open and fill the views", [] {}, [bound] { bound(); }},
            {"choose a node in the tree", bound,
             [this] {
                 click(*tree, center_of(Node("Depot")->DisplayRect(true)));
                 run_messages();
             }},
            {"choose an item in the list", bound,
             [this] {
                 click(*list, ItemPoint(ItemIndex("Research")));
                 run_messages();
             }},
            {"rename in the tree and choose another node", onNode("North"),
             [this] {
                 press_key(*tree, VK_F2);
                 if (!tree->IsEditing()) return;
                 type_caption(*tree, "North-East");
                 click(*tree, center_of(Node("Sales")->DisplayRect(true)));
                 run_messages();
             }},
            {"rename in the list and choose another item", bound,
             [this] {
                 click(*list, ItemPoint(ItemIndex("South")));
                 press_key(*list, VK_F2);
                 if (!list->IsEditing()) return;
                 type_caption(*list, "Southern");
                 click(*list, ItemPoint(ItemIndex("Depot")));
                 run_messages();
             }},
            {"insert a child record and post it", onNode("Engineering"),
             [this] {
                 table->Insert();
                 table->FieldByName("ID")->SetAsInteger(20);
                 table->FieldByName("PARENT_ID")->SetAsInteger(5);
                 table->FieldByName("NAME")->SetAsString("Testing");
                 table->Post();
                 run_messages();
             }},
            {"drag a node onto another", bound,
             [this] {
                 drag_to(*tree, center_of(Node("Research")->DisplayRect(true)), *tree,
                         center_of(Node("Sales")->DisplayRect(true)));
                 run_messages();
             }},
            {"delete the chosen record", onNode("Depot"),
             [this] {
                 table->Delete();
                 run_messages();
             }},
            {"choose a status in the combo and post", onNode("South"),
             [this] {
                 click(*combo, center_of(combo->ButtonRect()));
                 click(*combo->ListBox(), center_of(combo->ListBox()->ItemRect(3)));
                 click(*other, 5, 5);
                 PostWhileEditing();
             }},
            {"tick the check box and post", onNode("Research"),
             [this] {
                 click(*flag, 6, 8);
                 click(*other, 5, 5);
                 PostWhileEditing();
             }},
        };
    }

    // The user posts what a control began to edit. When the control could not begin the edit
    // (the engine failed as the dataset entered edit state), the control showed that error, kept
    // the stored value and there is nothing to post: posting anyway would only add the dataset's
    // "not in edit mode" error to a story that has already been told why it stopped.
    void PostWhileEditing() {
        if (table->State() == dsEdit || table->State() == dsInsert) table->Post();
        run_messages();
    }

    // A caption edit that cannot begin because the dataset refuses to enter edit state (here: the
    // engine fails as the record is read for the edit) is reported by the views with their own
    // message, shown to the user, as the views are meant to do for any refusal of that step.
    static bool IsEditRefusal(const std::string& message) {
        return message == LoadStr(SCantEditUnexistingRecordTree) ||
               message == LoadStr(SCantEditUnexistingRecordList);
    }

    // Runs one story's Act with the failure armed (n > 0) and answers whether the failure was
    // reported (caught as EDatabaseError with its message, or shown by the loop).
    bool ActWithFault(const TStory& story, int64_t base, int64_t n, const TSqlFault& fault,
                      bool& fired) {
        fired = false;
        Engine().SetFaultHook([&, base, n](TSqlCall, int64_t number) -> std::optional<TSqlFault> {
            if (number - base != n) return std::nullopt;
            fired = true;
            return fault;
        });
        bool reported = false;
        try {
            story.Act();
        } catch (const EDatabaseError& e) {
            reported = e.what() == fault.Message;
            if (!reported) ADD_FAILURE() << "another database error: " << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not a database error: " << e.what();
        }
        Engine().SetFaultHook(nullptr);
        try {
            run_messages();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "the loop let through: " << e.what();
        }
        for (const std::string& shown : Application().ShownErrors)
            if (shown == fault.Message || IsEditRefusal(shown)) reported = true;
        return reported;
    }

    static std::string Diff(const std::vector<std::string>& a, const std::vector<std::string>& b) {
        std::string text;
        for (const std::string& row : b)
            if (std::find(a.begin(), a.end(), row) == a.end()) text += "+" + row + " ";
        for (const std::string& row : a)
            if (std::find(b.begin(), b.end(), row) == b.end()) text += "-" + row + " ";
        return text;
    }

    // Everything that must hold after a failure; the text of what does not.
    std::string CheckAfter(bool reported, const std::vector<std::string>& before,
                           const std::vector<std::string>& after) {
        std::string wrong;
        std::vector<std::string> now = Snapshot(db->FileName());
        if (now != before && now != after)
            wrong += "the table is half changed (" + Diff(before, now) + "); ";
        if (!reported && now != after && table->State() == dsBrowse)
            wrong += "the story failed and nobody was told; ";
        if (tree->IsStopped()) wrong += "the tree stays busy; ";
        if (list->IsStopped()) wrong += "the list stays busy; ";
        if (table->ControlsDisabled()) wrong += "the controls stay disabled; ";
        if (table->RangeApplied()) wrong += "a range is left on the table; ";
        if (table->State() == dsEdit || table->State() == dsInsert) {
            // Still editing: the typed values are kept and a second post stores them.
            try {
                table->Post();
                run_messages();
            } catch (const std::exception& e) {
                wrong += std::string("the second post fails: ") + e.what() + "; ";
            }
            if (Snapshot(db->FileName()) != after) wrong += "the typed values are lost; ";
        } else if (table->State() != dsBrowse) {
            wrong += "the dataset is neither browsing nor editing; ";
        }
        if (table->RecordCount() > 0 && !table->BookmarkValid(table->GetBookmark()))
            wrong += "the cursor is on no record; ";
        Application().ShownErrors.clear();
        // A reload shows what the table holds.
        try {
            list->Reload();
            run_messages();
        } catch (const std::exception& e) {
            wrong += std::string("the reload fails: ") + e.what() + "; ";
        }
        wrong += TreeMismatch();
        wrong += ListMismatch();
        if (!Application().ShownErrors.empty())
            wrong += "the reload shows " + Application().ShownErrors.front() + "; ";
        return wrong;
    }

    void RunStory(std::size_t index) {
        std::vector<std::string> before, after;
        int64_t calls = 0;
        {
            TStory story = Stories()[index];
            story.Prepare();
            before = Snapshot(db->FileName());
            int64_t base = Engine().CallCount();
            story.Act();
            calls = Engine().CallCount() - base;
            after = Snapshot(db->FileName());
            ASSERT_TRUE(Application().ShownErrors.empty()) << Application().ShownErrors.front();
            ASSERT_GT(calls, 0);
        }
        TFigures& figures = Figures()[Stories()[index].Name];
        int injectedHere = 0;
        for (int64_t n = 1; n <= calls; ++n) {
            TearDown();
            SetUp();
            TStory story = Stories()[index];
            story.Prepare();
            ASSERT_EQ(Snapshot(db->FileName()), before);
            const TSqlFault& fault = kFaults[n % 3];
            bool fired = false;
            bool reported = ActWithFault(story, Engine().CallCount(), n, fault, fired);
            if (!fired) continue; // the story took another way before reaching call n
            ++figures.Injected;
            ++injectedHere;
            std::string wrong = CheckAfter(reported, before, after);
            if (wrong.empty())
                ++figures.Survived;
            else
                ADD_FAILURE() << story.Name << ", call " << n << " of " << calls << " fails ("
                              << fault.Message << "): " << wrong;
        }
        // A story none of whose calls could be made to fail has proved nothing.
        EXPECT_GT(injectedHere, 0) << Stories()[index].Name << ": none of its " << calls
                                   << " engine calls failed when asked to";
    }
};

TEST_F(FaultInjectionTest, OpenAndFill) {
    RunStory(0);
}
TEST_F(FaultInjectionTest, ChooseANodeInTheTree) {
    RunStory(1);
}
TEST_F(FaultInjectionTest, ChooseAnItemInTheList) {
    RunStory(2);
}
TEST_F(FaultInjectionTest, RenameInTheTree) {
    RunStory(3);
}
TEST_F(FaultInjectionTest, RenameInTheList) {
    RunStory(4);
}
TEST_F(FaultInjectionTest, InsertAChildRecord) {
    RunStory(5);
}
TEST_F(FaultInjectionTest, DragANodeOntoAnother) {
    RunStory(6);
}
TEST_F(FaultInjectionTest, DeleteTheChosenRecord) {
    RunStory(7);
}
TEST_F(FaultInjectionTest, ChooseAStatusInTheCombo) {
    RunStory(8);
}
TEST_F(FaultInjectionTest, TickTheCheckBox) {
    RunStory(9);
}

} // namespace
} // namespace orvel::test
