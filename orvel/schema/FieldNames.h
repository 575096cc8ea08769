// Field names of the application's main tables and ready-made tree and list view configurations
// for five of them (key, parent, name, status, image, relation, column and root texts).
#pragma once

#include <array>
#include <string>

namespace orvel {

using TLClassFieldNames = std::array<std::string, 10>;
using TLGISFieldNames = std::array<std::string, 5>;
using TLObjectsFieldNames = std::array<std::string, 12>;
using TLInventoryFieldNames = std::array<std::string, 7>;
using TLAttributeFieldNames = std::array<std::string, 13>;
using TLCollectionDetailFieldNames = std::array<std::string, 6>;
using TLStatusFieldNames = std::array<std::string, 5>;
using TLCollectionFieldNames = std::array<std::string, 5>;
using TLDetailSetFieldNames = std::array<std::string, 4>;

extern const TLClassFieldNames CCCFNames;
extern const TLGISFieldNames CGFNames;
extern const TLObjectsFieldNames COCFNames;
extern const TLInventoryFieldNames CICFNames;
extern const TLAttributeFieldNames CACFNames;
extern const TLAttributeFieldNames CACFNames2;
extern const TLCollectionDetailFieldNames CCDCFNames;
extern const TLStatusFieldNames CSFNames;
extern const TLCollectionFieldNames CColCFNames;
extern const TLDetailSetFieldNames CDSCFNames;

// Which entry of a view configuration: key fields, parent fields, name, status and image fields,
// relation text, column fields and root key text.
enum TTableFieldIndex { tiKey, tiParent, tiName, tiStatus, tiImage, tiLinks, tiColumns, tiRoot };
using TTableNames = std::array<std::string, 8>;

extern const TTableNames CSTable1; // class hierarchy (tree)
extern const TTableNames CSTable2; // objects owned by objects, two-field keys (tree)
extern const TTableNames CSTable3; // classes (list)
extern const TTableNames CSTable4; // objects (list)
extern const TTableNames CSTable5; // inventory (list)
extern const TTableNames CSBlankTable;

} // namespace orvel
