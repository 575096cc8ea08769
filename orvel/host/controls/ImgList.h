// Image lists: a numbered collection of equally sized images with masks, drawn by controls
// (tree and list views) and filled by applications or from a dataset. Controls that show the
// images hold a TChangeLink so that they hear about every change and can repaint.
#pragma once

#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/TypInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvel {

// How Draw combines an image with the blend colour: dsFocus blends 25 %, dsSelected 50 %.
enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
// Whether Draw shows the images or their masks.
enum TImageType { itImage, itMask };

class TCustomImageList;

// A listener of one image list. The link and the list clear their references to each other when
// either is destroyed, so a control never keeps a dangling image list through its link.
class TChangeLink : public TObject {
public:
    TChangeLink() = default;
    ~TChangeLink() override;

    TCustomImageList* Sender() const { return FSender; }
    // Registers the link with an image list (unregistering it from the previous one).
    void SetSender(TCustomImageList* value);
    // Called by the image list after each change: runs OnChange with the list as sender.
    virtual void Change();

    TNotifyEvent OnChange;

private:
    friend class TCustomImageList;
    TCustomImageList* FSender = nullptr;
};

// The images are Width x Height pixels each. The mask of an image marks its transparent pixels;
// images added without a mask are fully opaque.
class TCustomImageList : public TComponent {
    ORVEL_PUBLISHED(TCustomImageList)
public:
    explicit TCustomImageList(TComponent* owner);
    // A list of images of the given size (the host's CreateSize).
    TCustomImageList(TComponent* owner, int width, int height);
    ~TCustomImageList() override;

    int Count() const { return static_cast<int>(FImages.size()); }

    // Changing the size of the images removes every image. Sizes below 1, or whose image area
    // exceeds TBitmap::MaxPixels, raise EInvalidOperation and change nothing.
    int Width() const { return FWidth; }
    void SetWidth(int value);
    int Height() const { return FHeight; }
    void SetHeight(int value);
    void SetSize(int width, int height);

    // Storage is grown by this many images at a time (default 4; values below 1 act as 1).
    int AllocBy() const { return FAllocBy; }
    void SetAllocBy(int value);
    // Colour drawn under transparent pixels; clNone (default) leaves them see-through.
    TColor BkColor() const { return FBkColor; }
    void SetBkColor(TColor value);
    // Colour mixed into images drawn in dsFocus or dsSelected style; clNone (default) uses the
    // system highlight colour.
    TColor BlendColor() const { return FBlendColor; }
    void SetBlendColor(TColor value);
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle value);
    TImageType ImageType() const { return FImageType; }
    void SetImageType(TImageType value);
    // Whether masks are used when drawing (default true); masks are kept either way.
    bool Masked() const { return FMasked; }
    void SetMasked(bool value);
    // Kept for form files; images are always owned by the list.
    bool ShareImages() const { return FShareImages; }
    void SetShareImages(bool value);

    // Appends image (and mask: white or any non-black pixel marks a transparent pixel; none: all
    // opaque) and answers the index of the first image added. As the host does, an image wider
    // than Width is cut into Width / Width() images side by side (the remaining narrow strip is
    // dropped); taller parts are cropped; an image smaller than Width x Height is placed at the
    // top-left with the uncovered part black and transparent. EInvalidGraphic for no or an empty
    // image.
    int Add(TBitmap* image, TBitmap* mask);
    // Appends image with every pixel of maskColor transparent (clNone: none, clDefault: the
    // image's TransparentColor); cut and cropped as Add. The pixels keep their colours.
    int AddMasked(TBitmap* image, TColor maskColor);
    // Inserts one image (the first Width x Height part, cropped and padded as Add) before index
    // (0..Count); EInvalidOperation outside that range.
    void Insert(int index, TBitmap* image, TBitmap* mask);
    // Replace image index (its first Width x Height part, cropped and padded as Add);
    // EInvalidOperation for an index outside 0..Count-1.
    void Replace(int index, TBitmap* image, TBitmap* mask);
    void ReplaceMasked(int index, TBitmap* newImage, TColor maskColor);
    // EInvalidOperation for an index outside 0..Count-1.
    void Delete(int index);
    // Moves an image to another place, shifting those between; EInvalidOperation for an index
    // outside 0..Count-1.
    void Move(int curIndex, int newIndex);
    void Clear();

    // Copies image index into image (resized to Width x Height), every pixel as stored,
    // transparent ones included; false (and image unchanged) for an invalid index or no bitmap.
    bool GetBitmap(int index, TBitmap* image) const;
    // The mask of image index: white where transparent, black where opaque.
    bool GetMask(int index, TBitmap* mask) const;
    // Whether pixel (x, y) of image index is transparent; false outside.
    bool IsTransparentPixel(int index, int x, int y) const;

    // Draws image index with its top-left corner at (x, y) in DrawingStyle and ImageType,
    // honouring the mask when Masked and BkColor; a disabled image is drawn in grey shades. An
    // invalid index draws nothing.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true) const;
    void Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
              bool enabled = true) const;

    // Writes all images side by side into strip (Count * Width by Height; an empty list gives an
    // empty bitmap), transparent pixels in BkColor (when clNone, their own colours).
    void GetStrip(TBitmap* strip) const;
    // Writes the strip to a file for a person to look at: a PNG when the name ends in ".png",
    // with transparent pixels see-through, else a Windows bitmap file as GetStrip gives it.
    // EInvalidOperation for an empty list.
    void SaveToFile(const std::string& fileName) const;

    // Change notification is held back between BeginUpdate and EndUpdate, and given once at the
    // end when anything changed.
    void BeginUpdate();
    void EndUpdate();
    void RegisterChanges(TChangeLink* link);
    void UnRegisterChanges(TChangeLink* link);

    // Copies the images and the settings of another image list.
    void Assign(TPersistent* source) override;

    TNotifyEvent OnChange;

protected:
    // Runs OnChange and every registered link (or notes the change during an update).
    virtual void Change();

private:
    struct TImageEntry {
        std::vector<uint32_t> Pixels; // Width x Height plain colours, rows top first
        std::vector<uint8_t> Mask;    // 1 = transparent
    };

    void CheckIndex(int index, int limit, const char* operation) const;
    std::vector<TImageEntry> SplitImage(const TBitmap* image, const TBitmap* mask, TColor maskColor,
                                        bool useColor, bool all) const;
    void InsertEntries(int index, std::vector<TImageEntry>&& entries);
    void DrawEntry(TCanvas& canvas, int x, int y, const TImageEntry& entry, TDrawingStyle style,
                   TImageType type, bool enabled) const;

    int FWidth = 16;
    int FHeight = 16;
    int FAllocBy = 4;
    TColor FBkColor = clNone;
    TColor FBlendColor = clNone;
    TDrawingStyle FDrawingStyle = dsNormal;
    TImageType FImageType = itImage;
    bool FMasked = true;
    bool FShareImages = false;
    int FUpdateCount = 0;
    bool FChanged = false;
    std::vector<TImageEntry> FImages;
    std::vector<TChangeLink*> FChangeLinks;
};

// The image list forms create: publishes the properties with their defaults.
class TImageList : public TCustomImageList {
    ORVEL_PUBLISHED(TImageList)
public:
    using TCustomImageList::TCustomImageList;
};

} // namespace orvel
