// String lists.
#include "orvel/host/core/Strings.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/core/TypInfo.h"

#include <algorithm>

namespace orvel {

// ---- TStrings ---------------------------------------------------------------------------------

const TClassInfo& TStrings::StaticClassInfo() {
    static const TClassInfo info{"TStrings", &TPersistent::StaticClassInfo(), {}, {}};
    return info;
}

void TStrings::IndexError(int index) const {
    RaiseRes<EStringListError>(SListIndexError, {static_cast<long long>(index)});
}

void TStrings::Put(int index, const std::string& s) {
    TObject* object = GetObject(index);
    BeginUpdate();
    try {
        Delete(index);
        InsertObject(index, s, object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::AddObject(const std::string& s, TObject* object) {
    int index = Count();
    InsertObject(index, s, object);
    return index;
}

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(Get(i), s)) return i;
    return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == object) return i;
    return -1;
}

void TStrings::Move(int from, int to) {
    if (from == to) return;
    std::string s = Get(from);
    TObject* object = GetObject(from);
    BeginUpdate();
    try {
        Delete(from);
        InsertObject(to, s, object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Exchange(int a, int b) {
    std::string sa = Get(a), sb = Get(b);
    TObject *oa = GetObject(a), *ob = GetObject(b);
    BeginUpdate();
    try {
        Put(a, sb);
        PutObject(a, ob);
        Put(b, sa);
        PutObject(b, oa);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::AddStrings(const TStrings& other) {
    BeginUpdate();
    try {
        for (int i = 0; i < other.Count(); ++i)
            AddObject(other.Get(i), other.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(TPersistent* source) {
    if (auto* other = dynamic_cast<TStrings*>(source)) {
        if (other == this) return;
        BeginUpdate();
        try {
            Clear();
            AddStrings(*other);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::BeginUpdate() {
    if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

std::string TStrings::GetText() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        out += Get(i);
        out += '\n';
    }
    return out;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    try {
        Clear();
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            Add(line);
            start = end + 1;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::vector<std::string> TStrings::ToVector() const {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i)
        out.push_back(Get(i));
    return out;
}

bool TStrings::Equals(const TStrings& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != other.Get(i)) return false;
    return true;
}

// ---- TStringList ------------------------------------------------------------------------------

const TClassInfo& TStringList::StaticClassInfo() {
    static const TClassInfo info{"TStringList", &TStrings::StaticClassInfo(), {}, {}};
    return info;
}

TStringList::TStringList(std::initializer_list<std::string> items) {
    for (const std::string& s : items)
        Add(s);
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) IndexError(index);
}

int IndexOfExact(const TStrings& list, const std::string& text) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.Get(i) == text) return i;
    return -1;
}

void TStringList::SetCapacity(int value) {
    if (value > Count()) FItems.reserve(static_cast<std::size_t>(value));
}

std::string TStringList::Get(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Text;
}

void TStringList::Put(int index, const std::string& s) {
    if (FSorted) RaiseRes<EStringListError>(SSortedListError);
    CheckIndex(index);
    Changing();
    FItems[static_cast<std::size_t>(index)].Text = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Object;
}

void TStringList::PutObject(int index, TObject* object) {
    CheckIndex(index);
    Changing();
    FItems[static_cast<std::size_t>(index)].Object = object;
    Changed();
}

void TStringList::InsertObject(int index, const std::string& s, TObject* object) {
    if (FSorted) RaiseRes<EStringListError>(SSortedListError);
    if (index < 0 || index > Count()) IndexError(index);
    InsertItem(index, s, object);
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
    Changing();
    FItems.insert(FItems.begin() + index, TItem{s, object});
    Changed();
}

int TStringList::AddObject(const std::string& s, TObject* object) {
    int index = Count();
    if (FSorted) {
        if (Find(s, index)) {
            if (FDuplicates == TDuplicates::dupIgnore) return index;
            if (FDuplicates == TDuplicates::dupError) RaiseRes<EStringListError>(SDuplicateString);
            while (index < Count() &&
                   CompareStrings(FItems[static_cast<std::size_t>(index)].Text, s) == 0)
                ++index;
        }
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    FItems.clear();
    Changed();
}

void TStringList::Exchange(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    Changing();
    std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
    Changed();
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
    return FCaseSensitive ? a.compare(b) : CompareText(a, b);
}

int TStringList::IndexOf(const std::string& s) const {
    if (!FSorted) {
        for (int i = 0; i < Count(); ++i)
            if (CompareStrings(FItems[static_cast<std::size_t>(i)].Text, s) == 0) return i;
        return -1;
    }
    int index = 0;
    return Find(s, index) ? index : -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareStrings(FItems[static_cast<std::size_t>(mid)].Text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) found = true; // keep looking left for the first equal entry
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(FItems.begin(), FItems.end(), [this](const TItem& a, const TItem& b) {
        return CompareStrings(a.Text, b.Text) < 0;
    });
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (FSorted == value) return;
    if (value) Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (FCaseSensitive == value) return;
    FCaseSensitive = value;
    if (FSorted) Sort();
}

void TStringList::SetUpdateState(bool updating) {
    if (updating) {
        if (OnChanging) OnChanging(this);
    } else {
        if (OnChange) OnChange(this);
    }
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

} // namespace orvel
