// The field-name tables and view configurations.
#include "orvel/schema/FieldNames.h"

namespace orvel {

const TLClassFieldNames CCCFNames = {"ClassID",   "AncestorID", "OriginID", "Name",   "Code",
                                     "ShortName", "Abstract",   "SD",       "MayOwn", "MayBelong"};
const TLGISFieldNames CGFNames = {"ClassID", "Style", "Layer", "Integrity", "AllowedObjects"};
const TLObjectsFieldNames COCFNames = {"OriginID",  "ObjectID", "OwnerOriginID", "OwnerObjectID",
                                       "ClassID",   "Name",     "SourceID",      "StatusID",
                                       "StartDate", "EndDate",  "Note",          "SD"};
const TLInventoryFieldNames CICFNames = {"InventoryID", "OwnerID",  "Name",   "ServiceName",
                                         "Parameters",  "UserName", "ImageID"};
const TLAttributeFieldNames CACFNames = {
    "ClassID", "AttributeID", "Name",   "Code",   "ShortName", "AttributeType", "Required",
    "Hidden",  "Important",   "Length", "MClass", "MUnit",     "Params"};
const TLAttributeFieldNames CACFNames2 = {
    "ClassID", "AttributeID", "Name",   "Code",  "DetailSetID", "AttributeType", "Required", "",
    "",        "Length",      "MClass", "MUnit", "Params"};
const TLCollectionDetailFieldNames CCDCFNames = {"ClassID",     "CollectionID", "AttrClassID",
                                                 "AttributeID", "Order",        "Label"};
const TLStatusFieldNames CSFNames = {"StatusID", "Name", "AllowedFor", "LargeImage", "SmallImage"};
const TLCollectionFieldNames CColCFNames = {"ClassID", "CollectionID", "Name", "Code",
                                            "AttrClassID"};
const TLDetailSetFieldNames CDSCFNames = {"ClassID", "DetailSetID", "Name", "Code"};

namespace {

TTableNames Config(std::string key, std::string name, std::string status, std::string image,
                   std::string links, std::string columns, std::string root) {
    TTableNames t;
    t[tiKey] = std::move(key);
    t[tiName] = std::move(name);
    t[tiStatus] = std::move(status);
    t[tiImage] = std::move(image);
    t[tiLinks] = std::move(links);
    t[tiColumns] = std::move(columns);
    t[tiRoot] = std::move(root);
    return t;
}

} // namespace

const TTableNames CSTable1 =
    Config("AncestorID", "Name", "", "ClassID", "AncestorID->ClassID", "", "null");
const TTableNames CSTable2 =
    Config("OwnerOriginID;OwnerObjectID", "Name", "StatusID", "ClassID",
           "OwnerOriginID->OriginID;OwnerObjectID->ObjectID", "", "null;null");
const TTableNames CSTable3 = Config("ClassID", "Name", "", "ClassID", "", "Code", "");
const TTableNames CSTable4 =
    Config("OriginID;ObjectID", "Name", "StatusID", "ClassID", "", "StartDate;EndDate", "");
const TTableNames CSTable5 =
    Config("InventoryID", "Name", "", "ImageID", "", "ServiceName;UserName", "");
const TTableNames CSBlankTable = {};

} // namespace orvel
