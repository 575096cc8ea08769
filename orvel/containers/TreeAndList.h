// Key vectors: the identity of a record as the values of its key fields, and the routines that
// compare, inspect and edit them; TKeysArray, the growable array of key vectors behind the
// views' request queues; CAMoveCursor, which puts a dataset's cursor back after a scan.
#pragma once

#include "orvel/containers/Arrays.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DataSet.h"

namespace orvel {

// Key-vector equality: two arrays are equal when they have the same dimension count (at least 1),
// equal bounds of dimension 1 and pairwise equal elements (recursively); otherwise the same full
// type code and an equal value. Two Nulls are equal, and so are two Empties.
bool VarEquality(const Variant& v1, const Variant& v2);
// Empty and Null are null vectors; so is a bare array (type code exactly varArray) whose elements
// along dimension 1 are all null vectors. An array of variants never is.
bool VarIsNullVector(const Variant& v);
// Element count of dimension 1; EVariantError for a value that is not an array.
int32_t VarKeysCount(const Variant& v);
// Highest index of dimension 1 whose element has value's type code and an equal value; -1 when
// none, when v is not an array, when value is a bare array, and for arrays of several dimensions.
int32_t VarIndexOf(const Variant& v, const Variant& value);
// Removes element index of the zero-based one-dimensional array v in place.
void VarKeysDelete(Variant& v, int32_t index);

// A growable array of key vectors (16-byte Variant items) that owns the Variants it holds and
// counts the items that are null vectors.
class TKeysArray : public TAbstractArray {
public:
    TKeysArray() : TAbstractArray(sizeof(Variant)) {}
    ~TKeysArray() override;

    void Get(int32_t index, Variant& value) const;
    Variant Get(int32_t index) const;
    void Put(int32_t index, Variant value);
    int32_t Add(Variant value);
    void Insert(int32_t index, Variant value);
    // Removes (and releases) the first item equal to value; its former index, or -1.
    int32_t Remove(Variant value);
    int32_t IndexOf(Variant value) const;
    bool IsNull(int32_t index) const;
    // Clears item index to Empty in place; once every item is empty the array empties itself.
    void Disable(int32_t index);
    void Clear();
    int32_t NullCount() const { return FNullCount; }

protected:
    bool IsEqual(const void* item1, const void* item2) const override;
    bool IsEmpty(const void* item) const override;

private:
    Variant& At(int32_t index) const { return *static_cast<Variant*>(GetPtr(index)); }
    void ReleaseAll();

    int32_t FNullCount = 0;
};

// Cursor restore after a scan. Before scanning, a caller notes the dataset's Bof and Eof flags
// and takes a bookmark; afterwards it calls CAMoveCursor[Bof][Eof] with the dataset and that
// bookmark: a dataset that was at its start goes to its first record, one past its end to its
// last record, an empty one is left alone, and otherwise the cursor returns to the bookmark.
using TMoveCursorProc = void (*)(TDataSet* dataSet, const TBookmark& bookmark);

void GotoFirst(TDataSet* dataSet, const TBookmark& bookmark);   // First; the bookmark is ignored
void GotoLast(TDataSet* dataSet, const TBookmark& bookmark);    // Last; the bookmark is ignored
void GotoPointer(TDataSet* dataSet, const TBookmark& bookmark); // GotoBookmark
void DoNotGo(TDataSet* dataSet, const TBookmark& bookmark);     // nothing

// Indexed by the Bof flag, then the Eof flag, as they stood before the scan.
extern const TMoveCursorProc CAMoveCursor[2][2];

} // namespace orvel
