// Fuzz entries for the texts the components read from form files and designers: the tree view's
// relation and root key texts, the list view's key and column field lists, and the value lookup
// combo's list (its texts and codes in a form file, and their conversions in the lookup values
// editor). Each text is applied to a view bound to a real table and the view is then loaded, so
// that what a text leaves behind is also exercised. Besides surviving, each entry checks what
// the components promise about the text: the surviving names are fields of the dataset, the
// busy counters and the dataset's control bracketing are back at rest, the texts and codes of a
// list read from a form are those written back.
#include "fuzz/entries/FuzzEntries.h"
#include "fuzz/entries/FuzzWorld.h"

#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/design/ValueLookupsEditor.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"

#include <memory>
#include <set>

namespace orvel::fuzz {

namespace {

std::string AsText(const uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A broken promise: reported as a crash so that the fuzzer keeps the input.
void Expect(bool promise) {
    if (!promise) __builtin_trap();
}

// Every table of the world is browsing again, with its controls enabled.
void ExpectDataAtRest() {
    TFuzzWorld& w = TFuzzWorld::Get();
    for (TTable* t : {w.Org(), w.Obj(), w.Items()}) {
        Expect(!t->ControlsDisabled());
        Expect(t->State() == dsBrowse || t->State() == dsInactive);
    }
}

// Frees a component made for one input (owned by the shared form).
template <class C> struct TOnForm {
    explicit TOnForm(C* c) : Component(c) {}
    ~TOnForm() { Component->Free(); }
    C* operator->() const { return Component; }
    C* Component;
};

template <class C> TOnForm<C> Place(int height = 300) {
    TForm* form = TFuzzWorld::Get().Form();
    auto* c = new C(form);
    c->SetParent(form);
    c->SetBounds(10, 10, 300, height);
    return TOnForm<C>(c);
}

// The relation lists agree with each other and name fields of the dataset, each name once.
void ExpectRelationsBound(TDBCustomTreeView& tree, TDataSet& dataSet) {
    const TStringList& keys = tree.KeyFieldList();
    const TStringList& parents = tree.ParentFieldList();
    Expect(keys.Count() == parents.Count());
    std::set<std::string> keyNames, parentNames;
    for (int i = 0; i < keys.Count(); ++i) {
        Expect(dataSet.FindField(keys.Get(i)) != nullptr);
        Expect(dataSet.FindField(parents.Get(i)) != nullptr);
        keyNames.insert(keys.Get(i));
        parentNames.insert(parents.Get(i));
    }
    Expect(static_cast<int>(keyNames.size()) == keys.Count());
    Expect(static_cast<int>(parentNames.size()) == parents.Count());
    std::string keyLinks, parentLinks;
    tree.KeyLinks(keyLinks);
    tree.ParentLinks(parentLinks);
    Expect(parentLinks.size() >= 1 && parentLinks.back() == ';');
}

// A tree over one of the world's self-referencing tables, loaded through the message loop
// (and expanded fully) after its relation or root text was applied.
void LoadAndCheckTree(TDBCustomTreeView& tree, TDataSet& dataSet) {
    RunMessages();
    try {
        tree.FullExpand();
    } catch (const Exception&) {
    }
    RunMessages();
    Expect(!tree.IsStopped());
    ExpectDataAtRest();
    if (tree.DataLink()->Active()) ExpectRelationsBound(tree, dataSet);
}

struct TTreeSetup {
    TDataSource* Source;
    TTable* Table;
    const char* Relations;
    const char* RootKey;
};

std::vector<TTreeSetup> TreeSetups() {
    TFuzzWorld& w = TFuzzWorld::Get();
    return {
        {w.OrgSource(), w.Org(), "PARENT_ID->ID", "Null"},
        {w.ObjSource(), w.Obj(), "OWNER_ORIGIN_ID->ORIGIN_ID;OWNER_OBJECT_ID->OBJECT_ID", "0;0"}};
}

// Applies one text to a fresh tree of each setup: Relations when relation is set, else the
// root key.
void TreeWithText(const std::string& text, bool relation) {
    TFuzzWorld& w = TFuzzWorld::Get();
    for (const TTreeSetup& setup : TreeSetups()) {
        w.Reset();
        auto tree = Place<TDBTreeView>();
        tree->SetNameField("NAME");
        tree->SetStatusIDField("STATUS_ID");
        tree->SetLoadStyle(lsAllAhead);
        tree->SetRelations(relation ? text : setup.Relations);
        tree->SetTopParentKey(setup.RootKey);
        tree->SetDataSource(setup.Source);
        RunMessages();
        try {
            if (relation) {
                tree->SetRelations(text);
            } else {
                // The text is kept, unless its values equal those of the text the tree had.
                tree->SetTopParentKey(text);
                Expect(tree->GetRootKey() == text || tree->GetRootKey() == setup.RootKey);
            }
        } catch (const Exception&) {
            Expect(!tree->IsStopped());
        }
        LoadAndCheckTree(*tree.Component, *setup.Table);
    }
}

} // namespace

void FuzzRelationText(const uint8_t* data, std::size_t size) {
    std::string text = AsText(data, size);
    TStringList items, left, right;
    SplitLine(text, items);
    FormLists(items, left, right);
    Expect(left.Count() == items.Count() && right.Count() == items.Count());
    TreeWithText(text, true);
}

void FuzzRootKey(const uint8_t* data, std::size_t size) {
    std::string text = AsText(data, size);
    TStringList items;
    SplitLine(text, items);
    // A text that parses gives one element per item.
    TFuzzWorld::Get().Reset();
    auto tree = Place<TDBTreeView>();
    try {
        tree->SetTopParentKey(text);
        Expect(tree->GetKeyFieldsCount() == items.Count());
    } catch (const EConvertError&) {
        Expect(tree->GetKeyFieldsCount() == 0);
    }
    TreeWithText(text, false);
}

// The first line is the key field list, the rest the column field list.
void FuzzFieldLists(const uint8_t* data, std::size_t size) {
    std::string text = AsText(data, size);
    std::size_t cut = text.find('\n');
    std::string keys = text.substr(0, cut);
    std::string columns = cut == std::string::npos ? std::string() : text.substr(cut + 1);
    TFuzzWorld& w = TFuzzWorld::Get();
    for (TDataSource* source : {w.ItemSource(), w.OrgSource()}) {
        w.Reset();
        auto lv = Place<TDBListView>();
        lv->SetViewStyle(vsReport);
        lv->SetNameField("NAME");
        lv->SetKeyFields("ID");
        lv->SetDataSource(source);
        RunMessages();
        try {
            lv->SetKeyFields(keys);
            lv->SetColumnsFields(columns);
        } catch (const Exception&) {
        }
        Expect(!lv->IsStopped());
        TDataSet* ds = source->GetDataSet();
        // What survives names fields of the dataset, and the text is rewritten from it.
        const TStrings& list = lv->ColumnFieldList();
        for (int i = 0; i < list.Count(); ++i)
            Expect(ds->FindField(list.Get(i)) != nullptr);
        for (int i = 0; i < lv->KeyFieldList().Count(); ++i)
            Expect(ds->FindField(lv->KeyFieldList().Get(i)) != nullptr);
        Expect(lv->GetColumnsFields() == JoinFieldList(list));
        RunMessages();
        Expect(!lv->IsStopped());
        ExpectDataAtRest();
        for (int i = 0; i < lv->GetCount(); ++i) {
            TListItem* item = lv->Items()->Item(i);
            Expect(item->SubItems()->Count() <= list.Count());
        }
    }
}

// The combo's list as a form file gives it (the input is the combo's property lines), read,
// written and read again, then shown for the item table's codes and handed to the lookup values
// editor for each kind of field.
void FuzzLookupValues(const uint8_t* data, std::size_t size) {
    std::string text = AsText(data, size);
    TFuzzWorld& w = TFuzzWorld::Get();
    w.Reset();
    // The editor's conversions: a valid text gives a code whose text is valid and gives it back.
    for (TFieldType type : {ftSmallint, ftInteger, ftWord, ftAutoInc, ftBoolean, ftFloat, ftString,
                            ftUnknown, ftDate}) {
        if (!LookupTextIsValid(type, text)) continue;
        int32_t code = LookupTextToCode(type, text);
        std::string back = LookupCodeToText(type, code);
        Expect(LookupTextIsValid(type, back));
        Expect(LookupTextToCode(type, back) == code);
    }

    std::string form = "object LookupForm: TDataModule\n"
                       "  object Combo: TDBValueLookupCombo\n" +
                       text +
                       "\n"
                       "  end\n"
                       "end\n";
    TOwned<TComponent> root(ReadComponentFromText(form, nullptr, w.ReadOptions()));
    auto* combo = dynamic_cast<TDBValueLookupCombo*>(root->FindComponent("Combo"));
    if (!combo) return;
    std::string written = WriteComponentToText(root.get());
    TOwned<TComponent> again(ReadComponentFromText(written, nullptr, w.ReadOptions()));
    auto* copy = dynamic_cast<TDBValueLookupCombo*>(again->FindComponent("Combo"));
    Expect(copy != nullptr);
    TStrings* values = combo->GetItems();
    Expect(copy->GetItems()->Count() == values->Count());
    for (int i = 0; i < values->Count(); ++i) {
        Expect(copy->GetItems()->Get(i) == values->Get(i));
        Expect(copy->GetItems()->GetObject(i) == values->GetObject(i));
    }

    // Shown for every code of the item list: the first entry with the code, else nothing.
    combo->SetDataSource(w.ItemSource());
    combo->SetDataField("CODE");
    for (w.Items()->First(); !w.Items()->Eof(); w.Items()->Next()) {
        Variant code = combo->GetComboInt();
        (void)code;
    }
    ExpectDataAtRest();

    // The editor gives back every text and code it is given, whatever the kind of field (texts
    // that break a memo line apart are the memo's business).
    for (int i = 0; i < values->Count(); ++i)
        if (values->Get(i).find_first_of("\r\n") != std::string::npos) return;
    for (TFieldType type : {ftInteger, ftBoolean, ftFloat, ftString}) {
        TOwned<TFmLookupValues> editor(new TFmLookupValues(nullptr));
        editor->SetTypeIndex(type);
        editor->SetLines(values);
        std::unique_ptr<TStringList> lines = editor->GetLines();
        Expect(lines->Count() == values->Count());
        for (int i = 0; i < lines->Count(); ++i) {
            Expect(lines->Get(i) == values->Get(i));
            Expect(lines->GetObject(i) == values->GetObject(i));
        }
    }
}

} // namespace orvel::fuzz
