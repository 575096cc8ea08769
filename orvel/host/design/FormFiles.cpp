// Reading and writing form texts.
#include "orvel/host/design/FormFiles.h"

#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/SysUtils.h"

#include <cctype>
#include <memory>
#include <vector>

namespace orvel {

const TClassInfo& TDataModule::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDataModule>("TDataModule", &TComponent::StaticClassInfo())
            .Creatable()
            .Build();
    return info;
}

namespace {

std::map<std::string, int64_t>& IntegerIdents() {
    static std::map<std::string, int64_t> idents;
    return idents;
}

// The host's colour and modal-result names, which form texts may use for integer values.
void RegisterStandardIdents() {
    static const bool registered = [] {
        const std::pair<const char*, int64_t> idents[] = {
            {"clBlack", clBlack},
            {"clMaroon", clMaroon},
            {"clGreen", clGreen},
            {"clOlive", clOlive},
            {"clNavy", clNavy},
            {"clPurple", clPurple},
            {"clTeal", clTeal},
            {"clGray", clGray},
            {"clSilver", clSilver},
            {"clRed", clRed},
            {"clLime", clLime},
            {"clYellow", clYellow},
            {"clBlue", clBlue},
            {"clFuchsia", clFuchsia},
            {"clAqua", clAqua},
            {"clWhite", clWhite},
            {"clNone", clNone},
            {"clDefault", clDefault},
            {"clWindow", clWindow},
            {"clWindowText", clWindowText},
            {"clBtnFace", clBtnFace},
            {"clBtnShadow", clBtnShadow},
            {"clBtnText", clBtnText},
            {"clBtnHighlight", clBtnHighlight},
            {"clHighlight", clHighlight},
            {"clHighlightText", clHighlightText},
            {"clGrayText", clGrayText},
            {"clInfoBk", clInfoBk},
            {"clInfoText", clInfoText},
            {"mrNone", mrNone},
            {"mrOk", mrOk},
            {"mrCancel", mrCancel},
            {"mrAbort", mrAbort},
            {"mrRetry", mrRetry},
            {"mrIgnore", mrIgnore},
            {"mrYes", mrYes},
            {"mrNo", mrNo},
            {"mrAll", mrAll},
        };
        // Names an application registered itself keep their values.
        for (const auto& [name, value] : idents)
            IntegerIdents().emplace(UpperCase(name), value);
        return true;
    }();
    (void)registered;
}

[[noreturn]] void ReadError(int line, const std::string& message) {
    throw EReadError("Line " + IntToStr(line) + ": " + message);
}

// A form file is read on other machines and under other settings than the one that wrote it, so
// its numbers always use '.', whatever the application set as its decimal separator.
const TFormatSettings& FileNumbers() {
    static const TFormatSettings numbers;
    return numbers;
}

// ---- tokens -----------------------------------------------------------------------------------

enum class TTokenKind { Ident, Integer, Float, String, Symbol, End };

struct TToken {
    TTokenKind Kind = TTokenKind::End;
    std::string Text; // identifier, number text, decoded string, or the symbol character
    int Line = 1;
};

class TLexer {
public:
    explicit TLexer(const std::string& text) : FText(text) {}

    TToken Next() {
        SkipBlanks();
        TToken t;
        t.Line = FLine;
        if (FPos >= FText.size()) return t;
        char c = FText[FPos];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') return Identifier(t);
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            ((c == '-' || c == '+') && NextIsDigit()))
            return Number(t);
        if (c == '\'' || c == '#') return StringLiteral(t);
        t.Kind = TTokenKind::Symbol;
        t.Text = std::string(1, c);
        ++FPos;
        return t;
    }

private:
    bool NextIsDigit() const {
        return FPos + 1 < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos + 1]));
    }

    void SkipBlanks() {
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (c == '\n') ++FLine;
            if (static_cast<unsigned char>(c) <= ' ') {
                ++FPos;
            } else if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
                while (FPos < FText.size() && FText[FPos] != '\n')
                    ++FPos;
            } else {
                break;
            }
        }
    }

    TToken Identifier(TToken t) {
        t.Kind = TTokenKind::Ident;
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.')) break;
            t.Text += c;
            ++FPos;
        }
        return t;
    }

    TToken Number(TToken t) {
        t.Kind = TTokenKind::Integer;
        t.Text += FText[FPos++];
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (std::isdigit(static_cast<unsigned char>(c))) {
                t.Text += c;
            } else if (c == '.' || c == 'e' || c == 'E' ||
                       ((c == '-' || c == '+') && (t.Text.back() == 'e' || t.Text.back() == 'E'))) {
                t.Kind = TTokenKind::Float;
                t.Text += c;
            } else {
                break;
            }
            ++FPos;
        }
        return t;
    }

    // 'text' pieces and #nn character codes, written one after the other.
    TToken StringLiteral(TToken t) {
        t.Kind = TTokenKind::String;
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (c == '\'') {
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == '\n')
                        ReadError(t.Line, "Unterminated string");
                    if (FText[FPos] == '\'') {
                        if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') {
                            t.Text += '\'';
                            FPos += 2;
                            continue;
                        }
                        ++FPos;
                        break;
                    }
                    t.Text += FText[FPos++];
                }
            } else if (c == '#') {
                ++FPos;
                std::string digits;
                while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos])))
                    digits += FText[FPos++];
                int32_t code = 0;
                if (digits.empty() || !TryStrToInt(digits, code) || code > 255)
                    ReadError(t.Line, "Invalid character code");
                t.Text += static_cast<char>(code);
            } else {
                break;
            }
        }
        return t;
    }

    const std::string& FText;
    std::size_t FPos = 0;
    int FLine = 1;
};

// ---- syntax tree ------------------------------------------------------------------------------

struct TFormValue {
    enum TKind { Integer, Float, String, Ident, Set, List } Kind = Integer;
    std::string Text;               // number text, string, identifier
    std::vector<std::string> Names; // set members
    std::vector<TFormValue> Items;  // list items
    int Line = 0;
};

struct TFormProperty {
    std::string Path;
    TFormValue Value;
    int Line = 0;
};

struct TFormObject {
    std::string Name;
    std::string ClassName;
    int Line = 0;
    std::vector<TFormProperty> Properties;
    std::vector<TFormObject> Children;
};

class TParser {
public:
    explicit TParser(const std::string& text) : FLexer(text) { Advance(); }

    TFormObject ParseForm() {
        TFormObject root = ParseObject();
        if (FToken.Kind != TTokenKind::End)
            ReadError(FToken.Line, "Text after the end of the form");
        return root;
    }

private:
    void Advance() { FToken = FLexer.Next(); }
    bool IsSymbol(char c) const { return FToken.Kind == TTokenKind::Symbol && FToken.Text[0] == c; }
    bool IsKeyword(const char* word) const {
        return FToken.Kind == TTokenKind::Ident && SameText(FToken.Text, word);
    }
    void Expect(char c) {
        if (!IsSymbol(c)) ReadError(FToken.Line, std::string("'") + c + "' expected");
        Advance();
    }
    std::string ExpectIdent(const char* what) {
        if (FToken.Kind != TTokenKind::Ident)
            ReadError(FToken.Line, std::string(what) + " expected");
        std::string s = FToken.Text;
        Advance();
        return s;
    }

    TFormObject ParseObject() {
        if (!IsKeyword("object")) ReadError(FToken.Line, "'object' expected");
        TFormObject obj;
        obj.Line = FToken.Line;
        Advance();
        std::string first = ExpectIdent("Component name");
        if (IsSymbol(':')) {
            Advance();
            obj.Name = first;
            obj.ClassName = ExpectIdent("Class name");
        } else {
            obj.ClassName = first;
        }
        while (!IsKeyword("end")) {
            if (FToken.Kind == TTokenKind::End) ReadError(FToken.Line, "'end' expected");
            if (IsKeyword("object"))
                obj.Children.push_back(ParseObject());
            else
                obj.Properties.push_back(ParseProperty());
        }
        Advance();
        return obj;
    }

    TFormProperty ParseProperty() {
        TFormProperty p;
        p.Line = FToken.Line;
        p.Path = ExpectIdent("Property name");
        Expect('=');
        p.Value = ParseValue();
        return p;
    }

    TFormValue ParseValue() {
        TFormValue v;
        v.Line = FToken.Line;
        switch (FToken.Kind) {
        case TTokenKind::Integer:
            v.Kind = TFormValue::Integer;
            v.Text = FToken.Text;
            Advance();
            return v;
        case TTokenKind::Float:
            v.Kind = TFormValue::Float;
            v.Text = FToken.Text;
            Advance();
            return v;
        case TTokenKind::String:
            v.Kind = TFormValue::String;
            v.Text = FToken.Text;
            Advance();
            while (IsSymbol('+')) { // a long text continued on the next line
                Advance();
                if (FToken.Kind != TTokenKind::String) ReadError(FToken.Line, "String expected");
                v.Text += FToken.Text;
                Advance();
            }
            return v;
        case TTokenKind::Ident:
            v.Kind = TFormValue::Ident;
            v.Text = FToken.Text;
            Advance();
            return v;
        case TTokenKind::Symbol:
            if (IsSymbol('[')) return ParseSet(v);
            if (IsSymbol('(')) return ParseList(v);
            [[fallthrough]];
        default:
            ReadError(FToken.Line, "Invalid property value");
        }
    }

    TFormValue ParseSet(TFormValue v) {
        v.Kind = TFormValue::Set;
        Advance();
        while (!IsSymbol(']')) {
            v.Names.push_back(ExpectIdent("Set member"));
            if (IsSymbol(','))
                Advance();
            else if (!IsSymbol(']'))
                ReadError(FToken.Line, "',' or ']' expected");
        }
        Advance();
        return v;
    }

    TFormValue ParseList(TFormValue v) {
        v.Kind = TFormValue::List;
        Advance();
        while (!IsSymbol(')')) {
            if (FToken.Kind == TTokenKind::End) ReadError(FToken.Line, "')' expected");
            v.Items.push_back(ParseValue());
        }
        Advance();
        return v;
    }

    TLexer FLexer;
    TToken FToken;
};

// ---- building components ----------------------------------------------------------------------

struct TFixup {
    TComponent* Instance;
    TObject* Target; // the object that holds the property (the instance or a held persistent)
    const TPropInfo* Property;
    std::string Reference;
    int Line;
};

class TFormBuilder {
public:
    TFormBuilder(TComponent* owner, const TFormReadOptions& options)
        : FOwner(owner), FOptions(options) {}

    TComponent* Build(const TFormObject& form) {
        Guarded([&] {
            FRoot = Create(form, FOwner);
            Fill(form, FRoot, nullptr);
            ResolveReferences();
        });
        Finish(form);
        return FRoot;
    }

    // Reads the text into a root the caller made (a form class reading its own description).
    void BuildInto(const TFormObject& form, TComponent* root) {
        FExternalRoot = true;
        Guarded([&] {
            FLine = form.Line;
            if (!root->InheritsFrom(form.ClassName))
                ReadError(form.Line,
                          "The text describes " + form.ClassName + ", not " + root->ClassName());
            FRoot = root;
            FCreated.push_back(root);
            FLines.push_back(form.Line);
            root->BeginLoading();
            if (!form.Name.empty()) root->SetName(UniqueRootName(root, form.Name));
            Fill(form, FRoot, nullptr);
            ResolveReferences();
        });
        Finish(form);
    }

private:
    // Runs a step of the read; any failure frees what was made and raises EReadError.
    template <class F> void Guarded(F&& step) {
        try {
            step();
        } catch (const EReadError&) {
            Discard();
            throw;
        } catch (const std::exception& e) {
            Discard();
            ReadError(FLine, e.what());
        }
    }

    // Every field of the binding must have found its component, then Loaded runs: the root
    // last, so that a form's OnCreate finds its components loaded.
    void Finish(const TFormObject& form) {
        Guarded([&] { CheckFields(form); });
        for (TComponent* c : FCreated)
            c->EndReading();
        Guarded([&] {
            for (std::size_t i = 0; i < FCreated.size(); ++i) {
                if (FCreated[i] == FRoot || !FCreated[i]->IsLoading()) continue;
                FLine = FLines[i];
                FCreated[i]->Loaded();
            }
            FLine = form.Line;
            if (FRoot->IsLoading()) FRoot->Loaded();
        });
    }

    TComponent* Create(const TFormObject& obj, TComponent* owner) {
        FLine = obj.Line;
        const TClassInfo* info = FindClassInfo(obj.ClassName);
        if (!info || !info->Create) ReadError(obj.Line, "Class " + obj.ClassName + " not found");
        TComponent* c = info->Create(owner);
        FCreated.push_back(c);
        FLines.push_back(obj.Line);
        c->BeginLoading();
        if (!obj.Name.empty()) c->SetName(obj.Name);
        if (c != FRoot && FRoot) SetField(c, obj.Line);
        return c;
    }

    // A root read into a form of its owner takes a free name: Name, else Name_1, Name_2, ...
    static std::string UniqueRootName(TComponent* root, const std::string& name) {
        TComponent* owner = root->Owner();
        auto taken = [&](const std::string& n) {
            TComponent* other = owner ? owner->FindComponent(n) : nullptr;
            return other && other != root;
        };
        std::string candidate = name;
        for (int i = 1; taken(candidate); ++i)
            candidate = name + "_" + IntToStr(i);
        return candidate;
    }

    void SetField(TComponent* c, int line) {
        if (!FOptions.Binding || c->Name().empty()) return;
        for (const TFormBinding::TField& f : FOptions.Binding->Fields()) {
            if (!SameText(f.Name, c->Name())) continue;
            if (!f.Set(c)) ReadError(line, "Component " + c->Name() + " does not fit its field");
            FFilled.push_back(f.Name);
        }
    }

    void CheckFields(const TFormObject& form) {
        if (!FOptions.Binding) return;
        for (const TFormBinding::TField& f : FOptions.Binding->Fields()) {
            bool filled = false;
            for (const std::string& name : FFilled)
                filled = filled || SameText(name, f.Name);
            if (!filled) ReadError(form.Line, "Component " + f.Name + " is missing");
        }
    }

    void Fill(const TFormObject& obj, TComponent* instance, TComponent* parent) {
        if (parent) instance->SetParentComponent(parent);
        for (const TFormProperty& p : obj.Properties) {
            FLine = p.Line;
            SetProperty(instance, p);
        }
        for (const TFormObject& child : obj.Children) {
            TComponent* c = Create(child, FRoot);
            Fill(child, c, instance);
        }
    }

    // Walks "A.B.C" down held persistent objects to the property that takes the value.
    void SetProperty(TComponent* instance, const TFormProperty& p) {
        TObject* target = instance;
        std::string path = p.Path;
        for (;;) {
            std::size_t dot = path.find('.');
            std::string head = path.substr(0, dot);
            if (auto* strings = dynamic_cast<TStrings*>(target);
                strings && dot == std::string::npos) {
                SetStringsPart(strings, head, p.Value);
                return;
            }
            const TPropInfo* info = target->ClassInfo().FindProperty(head);
            if (!info) ReadError(p.Line, "Property " + p.Path + " does not exist");
            if (dot == std::string::npos) {
                Assign(instance, target, *info, p.Value);
                return;
            }
            if (info->Kind != TTypeKind::tkClass)
                ReadError(p.Line, "Property " + head + " has no parts");
            target = info->GetObject(target);
            if (!target) ReadError(p.Line, "Property " + head + " is not set");
            path = path.substr(dot + 1);
        }
    }

    void SetStringsPart(TStrings* strings, const std::string& part, const TFormValue& v) {
        if (v.Kind != TFormValue::List) ReadError(v.Line, "List expected");
        if (SameText(part, "Strings")) {
            strings->BeginUpdate();
            strings->Clear();
            for (const TFormValue& item : v.Items)
                strings->Add(item.Text);
            strings->EndUpdate();
        } else if (SameText(part, "Objects")) {
            if (static_cast<int>(v.Items.size()) != strings->Count())
                ReadError(v.Line, "Codes and texts differ in number");
            for (int i = 0; i < strings->Count(); ++i)
                strings->PutObject(i, IntToObject(IntegerOf(v.Items[i])));
        } else {
            ReadError(v.Line, "Property " + part + " does not exist");
        }
    }

    int32_t IntegerOf(const TFormValue& v) {
        if (v.Kind == TFormValue::Integer) return StrToInt(v.Text);
        if (v.Kind == TFormValue::Ident) {
            auto it = IntegerIdents().find(UpperCase(v.Text));
            if (it != IntegerIdents().end()) return static_cast<int32_t>(it->second);
        }
        ReadError(v.Line, "Integer expected");
    }

    void Assign(TComponent* instance, TObject* target, const TPropInfo& info, const TFormValue& v) {
        switch (info.Kind) {
        case TTypeKind::tkInteger:
            if (!info.SetValue) ReadOnly(info, v);
            info.SetValue(target, Variant(IntegerOf(v)));
            return;
        case TTypeKind::tkFloat:
            if (v.Kind != TFormValue::Float && v.Kind != TFormValue::Integer)
                ReadError(v.Line, "Number expected");
            if (!info.SetValue) ReadOnly(info, v);
            info.SetValue(target, Variant(StrToFloat(v.Text, FileNumbers())));
            return;
        case TTypeKind::tkString:
        case TTypeKind::tkVariant:
            if (v.Kind != TFormValue::String) ReadError(v.Line, "String expected");
            if (!info.SetValue) ReadOnly(info, v);
            info.SetValue(target, Variant(v.Text));
            return;
        case TTypeKind::tkEnumeration: {
            if (v.Kind != TFormValue::Ident) ReadError(v.Line, "Identifier expected");
            int ordinal = info.OrdinalOf(v.Text);
            if (ordinal < 0) ReadError(v.Line, "Invalid property value " + v.Text);
            if (!info.SetValue) ReadOnly(info, v);
            info.SetValue(target, Variant(ordinal));
            return;
        }
        case TTypeKind::tkSet: {
            if (v.Kind != TFormValue::Set) ReadError(v.Line, "Set expected");
            int64_t mask = 0;
            for (const std::string& name : v.Names) {
                int ordinal = info.OrdinalOf(name);
                if (ordinal < 0) ReadError(v.Line, "Invalid set member " + name);
                mask |= int64_t(1) << ordinal;
            }
            if (!info.SetValue) ReadOnly(info, v);
            info.SetValue(target, Variant(mask));
            return;
        }
        case TTypeKind::tkClass:
            if (v.Kind != TFormValue::Ident) ReadError(v.Line, "Component name expected");
            if (!info.SetObject) ReadOnly(info, v);
            if (SameText(v.Text, "nil"))
                info.SetObject(target, nullptr);
            else
                FFixups.push_back({instance, target, &info, v.Text, v.Line});
            return;
        case TTypeKind::tkMethod:
            if (v.Kind != TFormValue::Ident) ReadError(v.Line, "Handler name expected");
            if (!(FOptions.Binding && FOptions.Binding->BindMethod(instance, info, v.Text)) &&
                !(FOptions.BindMethod && FOptions.BindMethod(instance, info, v.Text)))
                ReadError(v.Line, "Event handler " + v.Text + " not found");
            return;
        default:
            ReadError(v.Line, "Property " + info.Name + " cannot be read");
        }
    }

    [[noreturn]] void ReadOnly(const TPropInfo& info, const TFormValue& v) {
        ReadError(v.Line, "Property " + info.Name + " is read-only");
    }

    TComponent* FindByName(const std::string& name) const {
        std::string owner, component = name;
        std::size_t dot = name.find('.');
        if (dot != std::string::npos) {
            owner = name.substr(0, dot);
            component = name.substr(dot + 1);
        }
        std::vector<TComponent*> roots{FRoot};
        roots.insert(roots.end(), FOptions.ExternalRoots.begin(), FOptions.ExternalRoots.end());
        for (TComponent* root : roots) {
            if (!owner.empty() && !SameText(root->Name(), owner)) continue;
            if (owner.empty() && SameText(root->Name(), component) && root == FRoot) return root;
            if (TComponent* c = root->FindComponent(component)) return c;
        }
        return nullptr;
    }

    void ResolveReferences() {
        for (const TFixup& f : FFixups) {
            FLine = f.Line;
            TComponent* target = FindByName(f.Reference);
            if (!target) ReadError(f.Line, "Component " + f.Reference + " not found");
            if (f.Property->AcceptsObject && !f.Property->AcceptsObject(target))
                ReadError(f.Line, "Component " + f.Reference + " does not fit property " +
                                      f.Property->Name);
            f.Property->SetObject(f.Target, target);
        }
    }

    // Frees everything the failed read created: a root the reader made takes its owned
    // components along; a root the caller gave keeps living, without them.
    void Discard() {
        if (FOptions.Binding)
            for (const TFormBinding::TField& f : FOptions.Binding->Fields())
                f.Set(nullptr);
        if (FRoot && !FExternalRoot) {
            FRoot->Free();
        } else {
            for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it)
                if (*it != FRoot) (*it)->Free();
            if (FRoot) FRoot->CancelLoading();
        }
        FRoot = nullptr;
        FCreated.clear();
        FLines.clear();
    }

    TComponent* FOwner;
    const TFormReadOptions& FOptions;
    TComponent* FRoot = nullptr;
    bool FExternalRoot = false;
    std::vector<TComponent*> FCreated;
    std::vector<int> FLines;          // the line of each created component
    std::vector<std::string> FFilled; // the binding's fields found so far
    std::vector<TFixup> FFixups;
    int FLine = 0;
};

// ---- writing ----------------------------------------------------------------------------------

class TFormWriter {
public:
    explicit TFormWriter(const TComponent* root) : FRoot(root) {}

    std::string Write() {
        WriteObject(FRoot, 0);
        return FOut;
    }

private:
    void Indent(int depth) { FOut.append(static_cast<std::size_t>(depth) * 2, ' '); }

    void WriteObject(const TComponent* c, int depth) {
        Indent(depth);
        FOut += "object " +
                (c->Name().empty() ? c->ClassName() : c->Name() + ": " + c->ClassName()) + "\n";
        WriteProperties(c, "", depth + 1);
        for (int i = 0; i < FRoot->ComponentCount(); ++i) {
            const TComponent* child = FRoot->Components(i);
            const TComponent* parent = child->GetParentComponent();
            bool underThis = parent == c || (c == FRoot && (!parent || parent->Owner() != FRoot));
            if (underThis && child != FRoot) WriteObject(child, depth + 1);
        }
        Indent(depth);
        FOut += "end\n";
    }

    void WriteProperties(const TObject* target, const std::string& prefix, int depth) {
        for (const TPropInfo* p : target->ClassInfo().AllProperties()) {
            if (SameText(p->Name, "Name") && prefix.empty()) continue;
            WriteProperty(target, *p, prefix + p->Name, depth);
        }
    }

    void Line(int depth, const std::string& path, const std::string& value) {
        Indent(depth);
        FOut += path + " = " + value + "\n";
    }

    void WriteProperty(const TObject* target, const TPropInfo& p, const std::string& path,
                       int depth) {
        switch (p.Kind) {
        case TTypeKind::tkMethod:
        case TTypeKind::tkUnknown:
            return;
        case TTypeKind::tkClass:
            WriteObjectProperty(target, p, path, depth);
            return;
        default:
            break;
        }
        if (!p.SetValue || !p.GetValue) return;
        Variant v = p.GetValue(target);
        if (p.Default && v == *p.Default) return;
        switch (p.Kind) {
        case TTypeKind::tkInteger:
            Line(depth, path, IntToStr(v.AsInt64()));
            return;
        case TTypeKind::tkFloat:
            Line(depth, path, FloatToStr(v.AsDouble(), FileNumbers()));
            return;
        case TTypeKind::tkString:
        case TTypeKind::tkVariant:
            if (v.IsEmpty() || (!p.Default && v.AsString().empty())) return;
            Line(depth, path, QuotedString(v.AsString()));
            return;
        case TTypeKind::tkEnumeration: {
            int ordinal = v.AsInteger();
            if (ordinal >= 0 && ordinal < static_cast<int>(p.EnumNames.size()))
                Line(depth, path, p.EnumNames[static_cast<std::size_t>(ordinal)]);
            return;
        }
        case TTypeKind::tkSet: {
            std::string members;
            uint64_t mask = static_cast<uint64_t>(v.AsInt64());
            for (std::size_t i = 0; i < p.EnumNames.size() && i < 64; ++i)
                if (mask & (uint64_t(1) << i))
                    members += (members.empty() ? "" : ", ") + p.EnumNames[i];
            Line(depth, path, "[" + members + "]");
            return;
        }
        default:
            return;
        }
    }

    void WriteObjectProperty(const TObject* target, const TPropInfo& p, const std::string& path,
                             int depth) {
        TObject* value = p.GetObject(target);
        if (auto* component = dynamic_cast<TComponent*>(value)) {
            if (!p.SetObject || component->Name().empty()) return;
            bool local = component == FRoot || component->Owner() == FRoot;
            std::string name = component->Name();
            if (!local && component->Owner()) name = component->Owner()->Name() + "." + name;
            Line(depth, path, name);
            return;
        }
        if (auto* strings = dynamic_cast<TStrings*>(value)) {
            if (strings->Count() == 0) return;
            std::string items;
            for (int i = 0; i < strings->Count(); ++i)
                items += "\n" + std::string(static_cast<std::size_t>(depth + 1) * 2, ' ') +
                         QuotedString(strings->Get(i));
            Line(depth, path + ".Strings", "(" + items + ")");
            if (p.StoresObjectCodes) {
                std::string codes;
                for (int i = 0; i < strings->Count(); ++i)
                    codes += (i ? " " : "") + IntToStr(ObjectToInt(strings->GetObject(i)));
                Line(depth, path + ".Objects", "(" + codes + ")");
            }
            return;
        }
        if (value) WriteProperties(value, path + ".", depth);
    }

    static std::string QuotedString(const std::string& s) {
        std::string out;
        bool open = false;
        for (char c : s) {
            if (static_cast<unsigned char>(c) < ' ') {
                if (open) out += '\'';
                open = false;
                out += "#" + IntToStr(static_cast<unsigned char>(c));
                continue;
            }
            if (!open) out += '\'';
            open = true;
            out += c;
            if (c == '\'') out += '\'';
        }
        if (open) out += '\'';
        return out.empty() ? "''" : out;
    }

    const TComponent* FRoot;
    std::string FOut;
};

} // namespace

TComponent* ReadComponentFromText(const std::string& text, TComponent* owner,
                                  const TFormReadOptions& options) {
    RegisterStandardIdents();
    TParser parser(text);
    TFormObject form = parser.ParseForm(); // the whole text is checked before anything is created
    TFormBuilder builder(owner, options);
    return builder.Build(form);
}

void ReadRootFromText(const std::string& text, TComponent* root, const TFormReadOptions& options) {
    RegisterStandardIdents();
    TParser parser(text);
    TFormObject form = parser.ParseForm();
    TFormBuilder builder(root->Owner(), options);
    builder.BuildInto(form, root);
}

bool TFormBinding::BindMethod(TComponent* instance, const TPropInfo& property,
                              const std::string& handler) const {
    for (const TMethod& m : FMethods)
        if (SameText(m.Name, handler))
            return property.SetMethod && property.SetMethod(instance, m.Handler);
    return false;
}

std::string WriteComponentToText(const TComponent* root) {
    return TFormWriter(root).Write();
}

void RegisterIntegerIdent(const std::string& name, int64_t value) {
    IntegerIdents()[UpperCase(name)] = value;
}

} // namespace orvel
