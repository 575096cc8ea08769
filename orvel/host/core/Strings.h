// String lists with an object slot per entry: TStrings (the interface every list control's items
// share) and TStringList (the stored list, optionally sorted, with change notification).
#pragma once

#include "orvel/host/core/Events.h"
#include "orvel/host/core/Object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvel {

// A 32-bit code kept in an object slot (the slot holds the number's bits; it is never followed).
inline TObject* IntToObject(int32_t code) {
    return reinterpret_cast<TObject*>(static_cast<intptr_t>(code));
}
inline int32_t ObjectToInt(const TObject* object) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(object));
}

class TStrings : public TPersistent {
public:
    virtual int Count() const = 0;
    // Room for entries made ahead of adding them; lists that keep no such room ignore it.
    virtual int Capacity() const { return Count(); }
    virtual void SetCapacity(int /*value*/) {}
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& s);
    virtual TObject* GetObject(int index) const = 0;
    virtual void PutObject(int index, TObject* object) = 0;
    virtual void Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }
    virtual void InsertObject(int index, const std::string& s, TObject* object) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& s) { return AddObject(s, nullptr); }
    virtual int AddObject(const std::string& s, TObject* object);
    // Position of the first entry equal to s without regard to case (as the host's list), -1 if
    // none.
    virtual int IndexOf(const std::string& s) const;
    int IndexOfObject(const TObject* object) const;
    void Move(int from, int to);
    virtual void Exchange(int a, int b);
    void AddStrings(const TStrings& other);
    void Assign(TPersistent* source) override; // texts and objects of another TStrings

    // Batches changes: notification once at the outermost EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Entries joined by line breaks (each entry followed by "\n"); setting splits at "\n" (and
    // "\r\n").
    std::string GetText() const;
    void SetText(const std::string& text);
    std::vector<std::string> ToVector() const;
    bool Equals(const TStrings& other) const; // same texts in the same order

    std::string operator[](int index) const { return Get(index); }

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
    virtual void SetUpdateState(bool /*updating*/) {}
    [[noreturn]] void IndexError(int index) const;

private:
    int FUpdateCount = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// The first entry of list that equals text exactly (case-sensitive, unlike IndexOf), -1 when
// none does.
int IndexOfExact(const TStrings& list, const std::string& text);

class TStringList : public TStrings {
public:
    TStringList() = default;
    explicit TStringList(std::initializer_list<std::string> items);

    int Count() const override { return static_cast<int>(FItems.size()); }
    int Capacity() const override { return static_cast<int>(FItems.capacity()); }
    void SetCapacity(int value) override;
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void InsertObject(int index, const std::string& s, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    int AddObject(const std::string& s, TObject* object) override;
    int IndexOf(const std::string& s) const override;
    void Exchange(int a, int b) override;

    // Sorted lists keep their entries in order of the comparison (the objects move with their
    // texts); inserting at a position or moving raises EStringListError.
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates value) { FDuplicates = value; }
    virtual void Sort();
    // Binary search in a sorted list: true when found; index is its place or insertion point.
    bool Find(const std::string& s, int& index) const;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
    void SetUpdateState(bool updating) override;
    virtual void Changed();
    virtual void Changing();
    int CompareStrings(const std::string& a, const std::string& b) const;

private:
    struct TItem {
        std::string Text;
        TObject* Object;
    };
    void InsertItem(int index, const std::string& s, TObject* object);
    void CheckIndex(int index) const;

    std::vector<TItem> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = TDuplicates::dupIgnore;
};

} // namespace orvel
