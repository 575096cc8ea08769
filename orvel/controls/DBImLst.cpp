// TCustomDBImageList and TDBImageList: reading the pictures of a dataset into image n by the
// record's identifier n.
#include "orvel/controls/DBImLst.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/DBCommon.h"
#include "orvel/host/data/Field.h"

#include <cstdint>
#include <exception>

namespace orvel {

TCustomDBImageList::TCustomDBImageList(TComponent* AOwner) : TImageList(AOwner) {}

TCustomDBImageList::~TCustomDBImageList() = default;

void TCustomDBImageList::SetDataSet(TDataSet* Value) {
    if (Value == FDataSet) return;
    if (FDataSet) RemoveFreeNotification(FDataSet);
    FDataSet = Value;
    if (!Value) return;
    FreeNotification(Value);
    if (Value->GetActive()) DoLoadImages();
}

void TCustomDBImageList::SetIDField(const std::string& Value) {
    if (Value == FIDFieldName) return;
    FIDFieldName = Value;
    DoLoadImages();
}

void TCustomDBImageList::SetImageField(const std::string& Value) {
    if (Value == FImageFieldName) return;
    FImageFieldName = Value;
    DoLoadImages();
}

void TCustomDBImageList::Notification(TComponent* AComponent, TOperation Operation) {
    TImageList::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FDataSet) FDataSet = nullptr;
}

void TCustomDBImageList::LoadImages() {
    DoLoadImages();
}

void TCustomDBImageList::Refresh() {
    Clear();
    if (!FDataSet) return;
    TDataSet* dataSet = FDataSet;
    bool wasActive = dataSet->GetActive();
    if (!wasActive)
        dataSet->Open();
    else
        dataSet->First();
    // The dataset is put back as it was found, also when the load fails.
    auto restore = [dataSet, wasActive] {
        if (!wasActive)
            dataSet->Close();
        else
            dataSet->First();
    };
    try {
        LoadImages();
    } catch (...) {
        try {
            restore();
        } catch (...) {
            // The load's own error is the one to report.
        }
        throw;
    }
    restore();
}

namespace {

template <class Expected> TField* FieldOfClass(TDataSet& DataSet, const std::string& Name) {
    TField* field = DataSet.FieldByName(Name);
    if (!dynamic_cast<Expected*>(field)) DatabaseError(Format(LoadStr(SFieldTypeMismatch), {Name}));
    return field;
}

// Keeps the count of images an identifier asks for within what one bitmap may hold, so that a
// damaged identifier cannot make the list pad itself with millions of images.
void CheckImageNumber(int Number, int Width, int Height) {
    if (Number > 0 && (int64_t{Number} + 1) * Width * Height > TBitmap::MaxPixels)
        throw EInvalidOperation(
            Format("Cannot add image: index %d out of bounds", {static_cast<long long>(Number)}));
}

} // namespace

void TCustomDBImageList::DoLoadImages() {
    if (!FDataSet || !FDataSet->GetActive() || FIDFieldName.empty() || FImageFieldName.empty())
        return;
    TField* idField = FieldOfClass<TIntegerField>(*FDataSet, FIDFieldName);
    TField* imageField = FieldOfClass<TBlobField>(*FDataSet, FImageFieldName);
    TBitmap tile(Width(), Height());
    TBitmap picture;
    // No picture has given a transparent colour yet: a first picture that cannot be read is
    // drawn fully opaque.
    TColor maskColor = clNone;
    TDataSet& dataSet = *FDataSet;
    dataSet.DisableControls();
    try {
        if (dataSet.Eof() && !dataSet.Bof()) dataSet.First();
        while (!dataSet.Eof()) {
            LoadRecord(idField, imageField, tile, picture, maskColor);
            dataSet.Next();
        }
    } catch (...) {
        dataSet.EnableControls();
        throw;
    }
    dataSet.EnableControls();
}

// Makes the tile of the current record and puts it at the record's image number.
void TCustomDBImageList::LoadRecord(TField* IDField, TField* ImageField, TBitmap& Tile,
                                    TBitmap& Picture, TColor& MaskColor) {
    const TRect whole = Rect(0, 0, Width(), Height());
    TCanvas* canvas = Tile.Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(clWindow);
    canvas->FillRect(whole);

    int number = IDField->GetAsInteger();
    CheckImageNumber(number, Width(), Height());
    while (Count() < number)
        Add(&Tile, nullptr);

    TBlobStream stream(ImageField, TBlobStreamMode::bmRead);
    try {
        Picture.LoadFromStream(stream);
        MaskColor = Picture.TransparentColor();
        canvas->StretchDraw(whole, &Picture);
    } catch (const std::exception&) {
        canvas->TextRect(whole, 0, 0, "Bad");
    }

    number = IDField->GetAsInteger();
    if (number >= Count())
        AddMasked(&Tile, MaskColor);
    else
        ReplaceMasked(number, &Tile, MaskColor);
}

// ---- published properties ----------------------------------------------------------------------

const TClassInfo& TCustomDBImageList::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TCustomDBImageList>(
                                       "TCustomDBImageList", &TCustomImageList::StaticClassInfo())
                                       .Build();
    return info;
}

const TClassInfo& TDBImageList::StaticClassInfo() {
    using T = TDBImageList;
    using B = TCustomDBImageList;
    static const TClassInfo info =
        TClassBuilder<T>("TDBImageList", &TCustomDBImageList::StaticClassInfo())
            .Property("IDFieldName", MemberOf<T>(&B::GetIDFieldName), MemberOf<T>(&B::SetIDField),
                      Variant(""))
            .Property("ImageFieldName", MemberOf<T>(&B::GetImageFieldName),
                      MemberOf<T>(&B::SetImageField), Variant(""))
            .Object("DataSet", "TDataSet", MemberOf<T>(&B::GetDataSet), MemberOf<T>(&B::SetDataSet))
            .Republish(TImageList::StaticClassInfo(),
                       {"BlendColor", "BkColor", "AllocBy", "DrawingStyle", "Height", "ImageType",
                        "Masked", "OnChange", "ShareImages", "Width"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
