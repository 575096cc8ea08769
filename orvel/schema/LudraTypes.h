// Vocabulary of the database application the components were made for: enumerations and sets of
// its objects, permissions, history rules and data-definition operations, object identifiers and
// their array, and the abstract data definition with the list that owns definitions. No component
// uses these; they are exported for applications.
#pragma once

#include "orvel/containers/Arrays.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Sets.h"
#include "orvel/host/data/DBCommon.h"

#include <array>
#include <cstdint>
#include <string>

namespace orvel {

enum TObjectAction {
    oaUnknown,
    oaCreated,
    oaDeleted,
    oaChanged,
    oaSpatial,
    oaPermissions,
    oaChildChanged
};
enum TClassAction { caImage, caAttributes, caOther };
enum sqlHistoryMode { hrCreate, hrMake };
enum TSystemState {
    sysZero,
    sysDataStorageCreated,
    sysSecurityDone,
    sysDataStorageDone,
    sysKernelDone,
    sysModulesDone,
    sysInitDone
};
enum THistoryFlags {
    hfMakeHistory,
    hfDoBelongingsOnMake,
    hfDoBelongingsOnBecome,
    hfMoveToHistory,
    hfCopyToHistory,
    hfAgricultureField
};
enum THistoryStatus {
    hsNeverCreate,
    hsExplicitOnly,
    hsAgricultureFieldsOnly,
    hsPromptOnCreating,
    hsAlways
};
enum THistoryOption { hoDefault, hoNone, hoExplicit, hoNeedEnforcing, hoForce };
enum THistoryResult { hrUnknown, hrAbandon, hrConfirm };
enum TImageListType {
    itClassSmallImages,
    itClassLargeImages,
    itStatusImages,
    itInventorySmallImages,
    itInventoryLargeImages,
    itNoneImages
};
enum TLServiceType { stSystem, stViews, stReports, stUtility };
enum TActionType { atNone, atFeather, atMiddle, atHeavy };
enum TActionMode { amNone, amClassChanged, amClassAdded, amClassDeleted, amRest };
enum TActionOption {
    aoAbstractChange,
    aoMOChange,
    aoMBChange,
    aoSpatialChanged,
    aoAttrTypeChanged,
    aoAttributeAdded,
    aoAttributeDeleted,
    aoDetailSetChanged,
    aoDetailSetAdded,
    aoDetailSetDeleted,
    aoCollectionChanged,
    aoCollectionAdded,
    aoCollectionDeleted
};
enum TVarietyEntryType { vetRoot, vetCrop, vetBrand, vetVariety };
enum TDataDefOperation { ddCreate, ddAlter, ddDrop };
enum TLIndexField { ifNone, ifAscending, ifDescending, ifUnique, ifUniqueAsc, ifUniqueDesc };
enum TLTableType { ttClass, ttMetaclass, ttDetailSet, ttLookup, ttWorkset };

enum TLPermission {
    ssCreateClass,
    ssCreateWorkset,
    ssAdminister,
    ssOpenDatabase,
    ssCreateObject,
    ssModifyClass,
    ssDeleteClass,
    ssSubclassClass,
    ssReadClass,
    ssDeleteObject,
    ssModifyObject,
    ssReadObject,
    ssModifyItems,
    ssDeleteItems,
    ssCreateItems,
    ssDeleteEntry,
    ssInsertEntry,
    ssDeleteWorkset,
    ssCreateMClass,
    ssDeleteMClass,
    ssModifyMClass,
    ssCreateMUnit,
    ssDeleteMUnit,
    ssModifyMUnit,
    ssReadLookupEntries,
    ssModifyLookupEntries,
    ssInsertLookupEntries,
    ssDeleteLookupEntries,
    ssModifyLookupStructure,
    ssDeleteLookup
};

// Members of the sets that have no enumeration of their own.
enum TsqlDT { dtDate, dtTime };
enum TLAttributeApplicabilityMember { aaClass, aaDetailSet, aaLookup, aaOther };
enum TLIndexOption { nxDescending, nxUnique };
enum TLConstraintOption { ctUnique, ctDontEnforce, ctCascadeDelete, ctCascadeUpdate };

using sqlDTSet = TSet<TsqlDT, 2>;
using THistoryFlagSet = TSet<THistoryFlags, 6>;
using TLPermissionSet = TSet<TLPermission, 30>;
using TLServiceTypeSet = TSet<TLServiceType, 4>;
using TActionOptions = TSet<TActionOption, 13>;
using TLAttributeApplicability = TSet<TLAttributeApplicabilityMember, 4>;
using TFieldTypeSet = TSet<TFieldType, ftLargeint + 1>;
using TLIndexOptions = TSet<TLIndexOption, 2>;
using TLConstraintOptons = TSet<TLConstraintOption, 4>;

// Progress report of a long operation: answers false to stop it.
using TLProgressEvent =
    TEvent<bool(TObject* Sender, const std::string& Comment, int32_t Pos, int32_t OutOf)>;

// An object's identity: the origin it was created at and its number there.
struct Tobject_id {
    int32_t OriginID = 0;
    int32_t ObjectID = 0;
};
Tobject_id Object_idF(int32_t originID, int32_t objectID);

class Tobject_idArray : public TAbstractArray {
public:
    Tobject_idArray() : TAbstractArray(sizeof(Tobject_id)) {}
    Tobject_id Get(int32_t index) const;
    void Put(int32_t index, const Tobject_id& id);
    int32_t Add(const Tobject_id& id);
    void Insert(int32_t index, const Tobject_id& id);
    int32_t Remove(const Tobject_id& id) { return TAbstractArray::Remove(&id); }
    int32_t IndexOf(const Tobject_id& id) const { return TAbstractArray::IndexOf(&id); }
    Tobject_id First() const { return Get(0); }
    Tobject_id Last() const { return Get(Count() - 1); }
    // Takes the source's count and every element in index order.
    void Assign(const Tobject_idArray& source);

protected:
    bool IsEqual(const void* item1, const void* item2) const override;
};
static_assert(sizeof(Tobject_id) == 8, "an object identifier is two 32-bit integers");

// A data definition of the application; concrete definitions live in applications. The abstract
// operations correspond to the definition's life in the database (creating, altering, dropping,
// checking and describing it); their meaning is the application's.
class TLDataDefinition {
public:
    TLDataDefinition() = default;
    TLDataDefinition(const TLDataDefinition&) = delete;
    TLDataDefinition& operator=(const TLDataDefinition&) = delete;
    virtual ~TLDataDefinition() = default;

    virtual bool Prepare() = 0;
    virtual bool Validate() = 0;
    virtual void Create() = 0;
    virtual void Alter() = 0;
    virtual void Drop() = 0;
    virtual bool Exists() = 0;
    virtual std::string GetSQL(TDataDefOperation operation) = 0;
    virtual void Load() = 0;
    virtual void Save() = 0;
    virtual void Assign(TLDataDefinition* source) = 0;
    virtual bool IsEqualTo(TLDataDefinition* other) = 0;
    virtual void Clear() = 0;
    virtual TLTableType GetTableType() = 0;
    // Makes this definition the one the given definition depends on.
    virtual void AddDependent(TLDataDefinition* definition);
    virtual void Perform(TDataDefOperation operation) = 0;
    virtual std::string GetName() = 0;

    TLDataDefinition* DependsOn() const { return FDependsOn; }

private:
    TLDataDefinition* FDependsOn = nullptr;
};

// A growable array of definitions that owns them: Clear and destruction free every definition.
class TLDefinitionList : public TAbstractArray {
public:
    TLDefinitionList() : TAbstractArray(sizeof(TLDataDefinition*)) {}
    ~TLDefinitionList() override;

    TLDataDefinition* Get(int32_t index) const;
    void Put(int32_t index, TLDataDefinition* definition);
    int32_t Add(TLDataDefinition* definition);
    void Insert(int32_t index, TLDataDefinition* definition);
    int32_t Remove(TLDataDefinition* definition) { return TAbstractArray::Remove(&definition); }
    int32_t IndexOf(TLDataDefinition* definition) const {
        return TAbstractArray::IndexOf(&definition);
    }
    TLDataDefinition* First() const { return Get(0); }
    TLDataDefinition* Last() const { return Get(Count() - 1); }
    // Frees every definition in index order, then empties the array.
    void Clear();
    // The first definition (empty slots skipped) whose name equals name exactly, or nullptr.
    TLDataDefinition* FindDefByName(const std::string& name) const;
    // Frees the definition of that name and removes its slot; no such name changes nothing.
    void DelDefByName(const std::string& name);

protected:
    bool IsEqual(const void* item1, const void* item2) const override;
};

// Sixteen bytes whose second 32-bit word is 768 and whose others are zero.
inline constexpr std::array<uint32_t, 4> CEVarExtents = {0, 768, 0, 0};

} // namespace orvel
