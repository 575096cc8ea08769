// Object identifiers, their array, and the definition list.
#include "orvel/schema/LudraTypes.h"

#include <cstring>

namespace orvel {

Tobject_id Object_idF(int32_t originID, int32_t objectID) {
    return Tobject_id{originID, objectID};
}

Tobject_id Tobject_idArray::Get(int32_t index) const {
    Tobject_id id;
    std::memcpy(&id, GetPtr(index), sizeof id);
    return id;
}

void Tobject_idArray::Put(int32_t index, const Tobject_id& id) {
    std::memcpy(GetPtr(index), &id, sizeof id);
}

int32_t Tobject_idArray::Add(const Tobject_id& id) {
    std::memcpy(TAbstractArray::Add(), &id, sizeof id);
    return Count() - 1;
}

void Tobject_idArray::Insert(int32_t index, const Tobject_id& id) {
    std::memcpy(TAbstractArray::Insert(index), &id, sizeof id);
}

void Tobject_idArray::Assign(const Tobject_idArray& source) {
    SetCount(source.Count());
    for (int32_t i = 0; i < source.Count(); ++i)
        Put(i, source.Get(i));
}

bool Tobject_idArray::IsEqual(const void* item1, const void* item2) const {
    const auto* a = static_cast<const Tobject_id*>(item1);
    const auto* b = static_cast<const Tobject_id*>(item2);
    return a->OriginID == b->OriginID && a->ObjectID == b->ObjectID;
}

void TLDataDefinition::AddDependent(TLDataDefinition* definition) {
    if (definition) definition->FDependsOn = this;
}

TLDefinitionList::~TLDefinitionList() {
    Clear();
}

TLDataDefinition* TLDefinitionList::Get(int32_t index) const {
    TLDataDefinition* d;
    std::memcpy(&d, GetPtr(index), sizeof d);
    return d;
}

void TLDefinitionList::Put(int32_t index, TLDataDefinition* definition) {
    std::memcpy(GetPtr(index), &definition, sizeof definition);
}

int32_t TLDefinitionList::Add(TLDataDefinition* definition) {
    std::memcpy(TAbstractArray::Add(), &definition, sizeof definition);
    return Count() - 1;
}

void TLDefinitionList::Insert(int32_t index, TLDataDefinition* definition) {
    std::memcpy(TAbstractArray::Insert(index), &definition, sizeof definition);
}

void TLDefinitionList::Clear() {
    for (int32_t i = 0; i < Count(); ++i) {
        TLDataDefinition* d = Get(i);
        Put(i, nullptr); // a destructor that looks at the list finds no freed definition
        delete d;
    }
    TAbstractArray::Clear();
}

TLDataDefinition* TLDefinitionList::FindDefByName(const std::string& name) const {
    for (int32_t i = 0; i < Count(); ++i) {
        TLDataDefinition* d = Get(i);
        if (d && d->GetName() == name) return d;
    }
    return nullptr;
}

void TLDefinitionList::DelDefByName(const std::string& name) {
    TLDataDefinition* d = FindDefByName(name);
    if (!d) return;
    Remove(d);
    delete d;
}

bool TLDefinitionList::IsEqual(const void* item1, const void* item2) const {
    return std::memcmp(item1, item2, sizeof(TLDataDefinition*)) == 0;
}

} // namespace orvel
