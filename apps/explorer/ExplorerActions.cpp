// What the explorer's commands do: expand, insert, delete, reload, move, export, quit.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"
#include "apps/explorer/SampleData.h"
#include "orvel/containers/TreeAndList.h"
#include "orvel/design/OrvelReg.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"
#include "orvel/listview/ListViewMenus.h"
#include "orvel/schema/FieldNames.h"
#include "orvel/schema/LudraTypes.h"

#include <algorithm>
#include <filesystem>

namespace orvel::explorer {

// --- actions ------------------------------------------------------------------------------

void TExplorer::ToggleExpand() {
    TTreeNode* node = FTree->Selected();
    if (!node) return;
    try {
        if (node->Expanded())
            node->Collapse(false);
        else
            node->Expand(false);
    } catch (...) {
        Application().HandleException();
    }
}

void TExplorer::NewObject(TDataSet* dataSet) {
    // A new object gets the next free key of its origin: the origin of the selected object.
    int origin = 1;
    if (auto* node = dynamic_cast<TDBTreeNode*>(FTree->Selected())) {
        std::vector<Variant> key = Elements(node->GetID());
        if (!key.empty() && !key[0].IsNull()) origin = key[0].AsInteger();
    }
    auto next = FDatabase->Connection().Prepare("SELECT COALESCE(MAX(" + QuoteName(COCFNames[1]) +
                                                "), 0) + 1 FROM " + QuoteName(kObjectsTable) +
                                                " WHERE " + QuoteName(COCFNames[0]) + " = ?");
    next->BindInt64(0, origin);
    next->Step();
    dataSet->FieldByName(COCFNames[0])->SetAsInteger(origin);
    dataSet->FieldByName(COCFNames[1])->SetAsInteger(static_cast<int32_t>(next->ColumnInt64(0)));
    dataSet->FieldByName(COCFNames[4])->SetAsInteger(DefaultClassOf(dataSet));
    dataSet->FieldByName(COCFNames[7])->SetAsInteger(0);
    dataSet->FieldByName(kFlagsField)->SetAsInteger(0);
}

void TExplorer::StartInsert() {
    if (FocusedPanel() != FTree) {
        ShowError("Records are inserted in the tree: Tab to the tree first");
        return;
    }
    try {
        // A child goes into a branch shown whole: the parent is opened first.
        TTreeNode* parent = FTree->Selected();
        if (parent && FTree->GetInsertMode() == imAddChild && !parent->Expanded()) {
            parent->Expand(false);
            Application().ProcessMessages();
        }
        FObjects->Insert();
        Application().ProcessMessages();
        TTreeNode* node = FTree->Selected();
        if (node && FObjects->State() == dsInsert) {
            node->EditText();
            ShowInfo(std::string("New record (") + InsertModeName(FTree->GetInsertMode()) +
                     "): type its name, Enter saves, Esc cancels");
        } else if (FObjects->State() == dsInsert) {
            ShowInfo("New record: not shown in the tree here; Esc cancels");
        }
    } catch (...) {
        Application().HandleException();
    }
}

bool TExplorer::HasChildren(const TDBTreeNode& node) {
    const TStringList& parents = FTree->ParentFieldList();
    std::vector<Variant> key = Elements(node.GetID());
    if (parents.Count() == 0 || static_cast<int>(key.size()) != parents.Count()) return false;
    std::string sql = "SELECT 1 FROM " + QuoteName(FOptions.View.Table) + " WHERE ";
    for (int i = 0; i < parents.Count(); ++i)
        sql += (i ? " AND " : "") + QuoteName(parents[i]) + " IS ?";
    sql += " LIMIT 1";
    auto stmt = FDatabase->Connection().Prepare(sql);
    for (int i = 0; i < parents.Count(); ++i) {
        const Variant& v = key[static_cast<std::size_t>(i)];
        if (v.IsNull())
            stmt->BindNull(i);
        else if (v.VarType() == varString)
            stmt->BindText(i, v.AsString());
        else
            stmt->BindInt64(i, v.AsInt64());
    }
    return stmt->Step();
}

void TExplorer::AskDelete() {
    TWinControl* panel = FocusedPanel();
    TDataSet* dataSet = nullptr;
    std::string caption;
    if (panel == FTree) {
        auto* node = static_cast<TDBTreeNode*>(FTree->Selected());
        if (!node) return;
        // Delete acts on the dataset's current record: it must be the selected node's.
        if (!FTree->KeysAreEquals(node->GetID())) {
            ShowError("The table is not on '" + node->Text() + "': select it again");
            return;
        }
        if (HasChildren(*node)) {
            ShowError("'" + node->Text() + "' owns records: delete or move them first");
            return;
        }
        dataSet = FObjects;
        caption = node->Text();
    } else if (panel) {
        auto* list = static_cast<TDBListView*>(panel);
        auto* item = static_cast<TDBListItem*>(list->ItemFocused());
        TDataSet* ds = list->DataLink()->DataSet();
        if (!item || !ds) return;
        std::string keys = list->GetKeyFields() + ";";
        if (!VarEquality(item->GetID(), ds->GetFieldValue(keys))) {
            ShowError("The table is not on '" + item->Caption() + "': select it again");
            return;
        }
        dataSet = ds;
        caption = item->Caption();
    }
    if (!dataSet) return;
    Ask("Delete '" + caption + "'?  y: delete   n/Esc: keep",
        [this, dataSet](const TInputEvent& e) {
            if (IsChar(e, "y") || IsChar(e, "Y")) {
                DeleteCurrent(*dataSet);
                return true;
            }
            return IsChar(e, "n") || IsChar(e, "N") || IsKey(e, VK_ESCAPE);
        });
}

void TExplorer::DeleteCurrent(TDataSet& dataSet) {
    try {
        // A record being inserted is not in the table: deleting it only drops what was typed.
        if (dataSet.State() == dsInsert) {
            dataSet.Cancel();
            ShowInfo("Dropped the new record: it was never saved");
            return;
        }
        dataSet.Delete();
        ShowInfo("Deleted");
        // The tree reads the branch of the deleted child again.
        if (&dataSet == FChildren && FTree->Selected()) FTree->PostReloadBranch(FTree->Selected());
    } catch (...) {
        Application().HandleException();
    }
}

void TExplorer::Reload() {
    FTree->PostReload();
    if (FChildList) FChildList->PostReload();
    if (FInventoryList) FInventoryList->PostReload();
    ShowInfo("Reloaded");
}

void TExplorer::CycleInsertMode() {
    auto mode = static_cast<TInsertMode>((static_cast<int>(FTree->GetInsertMode()) + 1) % 4);
    FTree->SetInsertMode(mode);
    ShowInfo(std::string("Insert mode: ") + InsertModeName(mode));
}

void TExplorer::PickUpOrDrop() {
    auto* node = static_cast<TDBTreeNode*>(FTree->Selected());
    if (!node) {
        ShowError("Select a node first");
        return;
    }
    if (VarIsEmpty(FPickedKey)) {
        FPickedKey = node->GetID();
        ShowInfo("Picked up '" + node->Text() +
                 "': select its new owner and press m (Esc cancels)");
        return;
    }
    DropPickedUp(node);
}

void TExplorer::DropPickedUp(TDBTreeNode* target) {
    Variant key = FPickedKey;
    FPickedKey.Clear();
    TDBTreeNode* picked = FTree->FindNode(key);
    if (!picked) {
        ShowError("The picked-up record is not in the tree any more");
        return;
    }
    if (picked == target || target->HasAsParent(picked)) {
        ShowError("'" + picked->Text() + "' cannot move under itself");
        return;
    }
    // The move is a drag from the picked-up node onto the target, as the mouse would make it:
    // the tree checks, writes and posts the new parent reference itself.
    FTree->SetSelected(picked);
    Application().ProcessMessages();
    if (FTree->Selected() != picked || !FTree->Items()->Contains(target)) return;
    target->MakeVisible();
    TPoint point = FTree->ClientToScreen(Center(target->DisplayRect(true)));
    FTree->BeginDrag(true);
    FDelivery.Move(point);
    FDelivery.Release(point, mbLeft);
}

void TExplorer::ToggleRightPanel() {
    if (!FInventoryList) return;
    FShowInventory = !FShowInventory;
    FInventoryList->SetVisible(FShowInventory);
    FChildList->SetVisible(!FShowInventory);
    TDBListView* shown = FShowInventory ? FInventoryList : FChildList;
    if (shown->CanFocus()) shown->SetFocus();
}

void TExplorer::SaveImages() {
    if (!FTree->Images() && !FTree->StateImages()) {
        ShowError("No image list is shown");
        return;
    }
    std::error_code ec;
    std::string folder = std::filesystem::current_path(ec).string();
    AskText("Save images as PNG in " + folder, "File: ", "orvel-images.png",
            [this](const std::string& file) { WriteImages(file, false); });
}

// The class pictures go to file, the status pictures beside it with "-state" added to its name.
void TExplorer::WriteImages(std::string file, bool overwrite) {
    namespace fs = std::filesystem;
    if (file.empty()) {
        ShowError("No file name given: nothing written");
        return;
    }
    fs::path path = fs::absolute(fs::path(file));
    if (path.extension() != ".png" && path.extension() != ".PNG") path += ".png";
    fs::path statePath = path.parent_path() / (path.stem().string() + "-state.png");
    std::vector<std::pair<std::string, TCustomImageList*>> lists;
    if (FTree->Images()) lists.emplace_back(path.string(), FTree->Images());
    if (FTree->StateImages()) lists.emplace_back(statePath.string(), FTree->StateImages());
    std::string existing;
    int count = 0;
    for (auto& entry : lists) {
        std::error_code ec;
        if (!fs::exists(entry.first, ec) && !ec) continue;
        existing += (existing.empty() ? "" : ", ") + fs::path(entry.first).filename().string();
        ++count;
    }
    if (count > 0 && !overwrite) {
        Ask(existing + (count > 1 ? " exist" : " exists") + ".  o: overwrite   Esc: keep",
            [this, file](const TInputEvent& e) {
                if (IsChar(e, "o") || IsChar(e, "O")) {
                    WriteImages(file, true);
                    return true;
                }
                if (IsKey(e, VK_ESCAPE) || IsChar(e, "n") || IsChar(e, "N")) {
                    ShowInfo("Nothing written");
                    return true;
                }
                return false;
            });
        return;
    }
    std::string written;
    try {
        for (auto& [name, list] : lists) {
            list->SaveToFile(name);
            written += (written.empty() ? "" : ", ") + name;
        }
        ShowInfo("Images written to " + written);
    } catch (...) {
        Application().HandleException();
        if (!written.empty()) FMessage += " (written before the failure: " + written + ")";
    }
}

std::vector<TDataSet*> TExplorer::PendingDataSets() const {
    std::vector<TDataSet*> pending;
    for (TDataSet* ds : {static_cast<TDataSet*>(FObjects), static_cast<TDataSet*>(FChildren),
                         static_cast<TDataSet*>(FInventory)})
        if (Pending(ds)) pending.push_back(ds);
    return pending;
}

void TExplorer::AskQuit() {
    SettleThen("quit", [this] { FFinished = true; });
}

bool TExplorer::ShowChildrenOf(TTreeNode* node) {
    if (!FChildren || !FChildren->GetActive()) return false;
    auto* dbNode = dynamic_cast<TDBTreeNode*>(node);
    Variant id = dbNode ? dbNode->GetID() : FTree->GetRootKeyValues();
    std::vector<Variant> key = Elements(id);
    // A record being inserted has no key yet: its children follow once it is posted.
    if (key.empty() || FObjects->State() == dsInsert) return false;
    if (!VarIsEmpty(FShownKey) && VarEquality(FShownKey, id)) return false;
    FShownKey = id;
    try {
        FChildren->SetRange(key, key);
        FChildList->PostReload();
    } catch (...) {
        FShownKey.Clear(); // not shown: read again after the next input
        Application().HandleException();
    }
    return true;
}

// --- messages -----------------------------------------------------------------------------

void TExplorer::ShowError(const std::string& text) {
    FMessage = text;
    FMessageIsError = true;
}

void TExplorer::ShowInfo(const std::string& text) {
    FMessage = text;
    FMessageIsError = false;
}

} // namespace orvel::explorer
