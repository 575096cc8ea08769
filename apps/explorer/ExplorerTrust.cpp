// Keeping every edit: typed attribute values saved, pending changes settled before an action
// would drop them, empty names refused, failed edit starts that do not turn typing into
// commands, and posts shown in every panel.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"
#include "orvel/host/core/Exceptions.h"

#include <algorithm>

namespace orvel::explorer {

namespace {

bool Blank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

// A key that edits text: typed characters and the editing keys of an edit box.
bool IsTypingKey(const TInputEvent& e) {
    if (e.Kind == TInputKind::Char) return true;
    if (e.Kind != TInputKind::Key || e.Alt) return false;
    switch (e.Key) {
    case VK_BACK:
    case VK_DELETE:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
    case VK_SPACE:
        return true;
    default:
        return false;
    }
}

// Why the database cannot be read now ("" when it can): the reason an edit that reads its
// record first could not begin, whatever the component reported.
std::string ReadFailure(TDatabase& database) {
    try {
        auto probe = database.Connection().Prepare("SELECT 1 FROM sqlite_schema LIMIT 1");
        probe->Step();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace

void TExplorer::SaveTypedAttributes(bool all) {
    if (!FAttributes) return;
    TWinControl* focused = FocusedControl();
    bool inGrid = focused == FAttributes || focused == FAttributes->InplaceEditor();
    int current = inGrid && !all ? FAttributes->Row() : -1;
    int rows = static_cast<int>(std::min(FAttributeRows.size(), FAttributeSaved.size()));
    for (int row = 1; row <= rows; ++row) {
        if (row == current) continue;
        std::string typed = FAttributes->Cells(1, row);
        if (typed != FAttributeSaved[static_cast<std::size_t>(row - 1)]) SaveAttribute(row, typed);
    }
}

void TExplorer::SettleThen(const std::string& what, std::function<void()> action) {
    std::vector<TDataSet*> pending = PendingDataSets();
    if (pending.empty()) {
        action();
        return;
    }
    Ask("Unsaved changes.  p: post and " + what + "   c: cancel them and " + what +
            "   Esc: go back",
        [this, pending, action](const TInputEvent& e) {
            bool post = IsChar(e, "p") || IsChar(e, "P");
            bool cancel = IsChar(e, "c") || IsChar(e, "C");
            if (!post && !cancel) return IsKey(e, VK_ESCAPE);
            try {
                for (TDataSet* ds : pending)
                    if (Pending(ds)) post ? ds->Post() : ds->Cancel();
            } catch (...) {
                Application().HandleException(); // a failed post: nothing more is done
                return true;
            }
            action();
            return true;
        });
}

bool TExplorer::RefuseEmptyName(const TInputEvent& event) {
    if (!IsKey(event, VK_RETURN)) return false;
    TDataSet* dataSet = nullptr;
    std::string nameField, text;
    TDBListView* list = FShowInventory ? FInventoryList : FChildList;
    if (FTree->IsEditing()) {
        dataSet = FObjects;
        nameField = FTree->GetNameField();
        text = FTree->EditorText();
    } else if (list && list->IsEditing()) {
        dataSet = list->DataLink()->DataSet();
        nameField = list->GetNameField();
        text = list->EditorText();
    }
    if (!dataSet || !Blank(text)) return false;
    TField* field = dataSet->FindField(nameField);
    if (!field || !field->GetRequired()) return false;
    ShowError("A name is required: type one, or Esc to keep the old name");
    return true;
}

bool TExplorer::SwallowAfterFailedEdit(const TInputEvent& event) {
    if (!FSwallowTyping) return false;
    if (IsTypingKey(event)) return true; // the message about the failed edit stays
    FSwallowTyping = false;
    // Enter or Escape would have ended the edit: it ends the dropped typing instead.
    return IsKey(event, VK_RETURN) || IsKey(event, VK_ESCAPE);
}

void TExplorer::NoteFailedEditStart(bool wasEditing, const TInputEvent& event) {
    if (wasEditing || Editing() || !FMessageIsError) return;
    bool rename = IsKey(event, VK_F2) && FocusedPanel() != nullptr;
    bool insert = IsKey(event, VK_INSERT) && FocusedPanel() == FTree;
    if (!rename && !insert) return;
    FSwallowTyping = true;
    std::string reason = ReadFailure(*FDatabase);
    if (!reason.empty())
        FMessage =
            "Cannot edit: " + reason +
            (reason.find("locked") != std::string::npos ? " (another program holds it)" : "");
    FMessage += "; typing is ignored until Enter or Esc";
}

void TExplorer::ShowPostedEverywhere() {
    bool objects = FObjectsPosted, children = FChildrenPosted;
    FObjectsPosted = FChildrenPosted = false;
    if (!objects && !children) return;
    try {
        // The list's records are read again whichever panel posted; the tree reads the branch
        // the list shows when the list posted.
        if (objects && FChildList) {
            FShownKey.Clear();
            ShowChildrenOf(FTree->Selected());
        }
        if (children && FTree->Selected() && !Pending(FObjects)) {
            FTree->PostReloadBranch(FTree->Selected());
            Application().ProcessMessages();
        }
    } catch (...) {
        Application().HandleException();
    }
}

void TExplorer::KeepPanelsTogether() {
    auto* node = dynamic_cast<TDBTreeNode*>(FTree->Selected());
    if (!node || Pending(FObjects) || FTree->IsEditing() || FTree->KeysAreEquals(node->GetID()))
        return;
    TDBTreeNode* shown = FTree->FindNode(FTree->GetKeyValues());
    if (!shown || shown == node) return;
    try {
        FTree->SetSelected(shown);
        Application().ProcessMessages();
    } catch (...) {
        Application().HandleException();
    }
}

} // namespace orvel::explorer
