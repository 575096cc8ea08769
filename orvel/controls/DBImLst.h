// The dataset image list: an image list filled from a dataset in which every record holds a
// picture (a Windows bitmap in a blob field) and an integer identifier; the picture of the record
// with identifier n becomes image n, stretched to the list's image size. Gaps are padded with
// blank window-coloured images and pictures that cannot be read show the word "Bad". The list
// reads its dataset only when its properties change or Refresh is called.
#pragma once

#include "orvel/host/controls/ImgList.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/data/DataSet.h"

#include <string>

namespace orvel {

class TCustomDBImageList : public TImageList {
    ORVEL_PUBLISHED(TCustomDBImageList)
public:
    explicit TCustomDBImageList(TComponent* AOwner);
    ~TCustomDBImageList() override;

    TDataSet* GetDataSet() const { return FDataSet; }
    // Loads the images when the dataset is open.
    void SetDataSet(TDataSet* Value);
    const std::string& GetIDFieldName() const { return FIDFieldName; }
    void SetIDField(const std::string& Value);
    const std::string& GetImageFieldName() const { return FImageFieldName; }
    void SetImageField(const std::string& Value);

    // Removes every image and loads them again from the dataset's first record; a closed dataset
    // is opened for the load and closed again, an open one is left on its first record.
    void Refresh();

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    virtual void LoadImages();
    // Reads the pictures from the current record (the first one when the dataset stands after
    // its end) to the last; the dataset is left after its last record.
    void DoLoadImages();

private:
    void LoadRecord(TField* IDField, TField* ImageField, TBitmap& Tile, TBitmap& Picture,
                    TColor& MaskColor);

    TDataSet* FDataSet = nullptr;
    std::string FIDFieldName;
    std::string FImageFieldName;
};

class TDBImageList : public TCustomDBImageList {
    ORVEL_PUBLISHED(TDBImageList)
public:
    explicit TDBImageList(TComponent* AOwner) : TCustomDBImageList(AOwner) {}
};

} // namespace orvel
