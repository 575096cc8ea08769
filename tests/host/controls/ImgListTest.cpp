// Image lists: published defaults, adding and replacing images with masks, reading them back,
// drawing, change notification and writing the list as a picture strip.
#include "orvel/host/controls/ImgList.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/TypInfo.h"

#include "GraphicsTestUtil.h"

#include <gtest/gtest.h>

#include <memory>

using namespace orvel;
using namespace orvel::testing;

namespace {

// Bitmaps cannot be copied; the helpers hand them out owned.
std::unique_ptr<TBitmap> Picture(const char* name) {
    auto b = std::make_unique<TBitmap>();
    b->LoadFromFile(PicturePath(name));
    return b;
}

std::unique_ptr<TBitmap> Solid(int w, int h, TColor c) {
    auto b = std::make_unique<TBitmap>(w, h);
    b->Fill(c);
    return b;
}

TEST(ImageList, PublishesItsPropertiesWithTheirDefaults) {
    TImageList list(nullptr);
    const TClassInfo& info = list.ClassInfo();
    EXPECT_TRUE(info.InheritsFrom("TCustomImageList"));
    const std::pair<const char*, Variant> defaults[] = {
        {"BlendColor", Variant(clNone)}, {"BkColor", Variant(clNone)},    {"AllocBy", Variant(4)},
        {"DrawingStyle", Variant(2)},    {"Height", Variant(16)},         {"ImageType", Variant(0)},
        {"Masked", Variant(true)},       {"ShareImages", Variant(false)}, {"Width", Variant(16)},
    };
    for (const auto& [name, value] : defaults) {
        const TPropInfo* p = info.FindProperty(name);
        ASSERT_NE(p, nullptr) << name;
        ASSERT_TRUE(p->Default.has_value()) << name;
        EXPECT_TRUE(*p->Default == value) << name;
        EXPECT_TRUE(GetPropValue(&list, name) == value) << name; // the object starts at it
    }
    EXPECT_EQ(info.FindProperty("BkColor")->TypeName, "TColor");
    ASSERT_NE(info.FindProperty("OnChange"), nullptr);
    EXPECT_EQ(info.FindProperty("OnChange")->Kind, TTypeKind::tkMethod);
    SetPropValue(&list, "Width", Variant(32));
    EXPECT_EQ(list.Width(), 32);
    EXPECT_EQ(GetEnumProp(&list, "DrawingStyle"), "dsNormal");
}

TEST(ImageList, AddMaskedMarksThePixelsOfTheMaskColour) {
    TImageList list(nullptr);
    auto quad = Picture("quad_24.bmp");
    EXPECT_EQ(list.AddMasked(quad.get(), quad->TransparentColor()), 0); // blue
    EXPECT_EQ(list.AddMasked(quad.get(), clNone), 1);                   // nothing transparent
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(list.IsTransparentPixel(0, 0, 15));
    EXPECT_FALSE(list.IsTransparentPixel(0, 0, 0));
    EXPECT_FALSE(list.IsTransparentPixel(1, 0, 15));

    // Reading back gives every stored pixel, the transparent ones with their own colour.
    TBitmap back;
    ASSERT_TRUE(list.GetBitmap(0, &back));
    EXPECT_TRUE(back.SamePixels(*quad));
    TBitmap mask;
    ASSERT_TRUE(list.GetMask(0, &mask));
    EXPECT_EQ(mask.Pixel(0, 15), clWhite);
    EXPECT_EQ(mask.Pixel(15, 15), clBlack);
    EXPECT_FALSE(list.GetBitmap(2, &back));
    EXPECT_FALSE(list.GetBitmap(-1, &back));
}

TEST(ImageList, AddCutsWideImagesAndPadsSmallOnes) {
    TImageList list(nullptr);
    // 40 x 20: two 16 x 16 images; the last 8 columns and the 4 extra rows are dropped.
    TBitmap wide(40, 20);
    wide.Canvas()->Brush()->SetColor(clRed);
    wide.Canvas()->FillRect(Rect(0, 0, 16, 20));
    wide.Canvas()->Brush()->SetColor(clLime);
    wide.Canvas()->FillRect(Rect(16, 0, 40, 20));
    TBitmap mask(40, 20);
    mask.SetPixel(17, 0, clWhite);
    EXPECT_EQ(list.Add(&wide, &mask), 0);
    ASSERT_EQ(list.Count(), 2);
    TBitmap img;
    list.GetBitmap(1, &img);
    EXPECT_EQ(img.Pixel(0, 0), clLime);
    EXPECT_TRUE(list.IsTransparentPixel(1, 1, 0));
    EXPECT_FALSE(list.IsTransparentPixel(0, 1, 0));

    // 10 x 5: placed top-left, the rest black and transparent.
    auto small = Solid(10, 5, clYellow);
    EXPECT_EQ(list.Add(small.get(), nullptr), 2);
    list.GetBitmap(2, &img);
    EXPECT_EQ(img.Pixel(9, 4), clYellow);
    EXPECT_EQ(img.Pixel(10, 4), clBlack);
    EXPECT_FALSE(list.IsTransparentPixel(2, 9, 4));
    EXPECT_TRUE(list.IsTransparentPixel(2, 9, 5));

    EXPECT_THROW(list.Add(nullptr, nullptr), EInvalidGraphic);
    TBitmap empty;
    EXPECT_THROW(list.AddMasked(&empty, clNone), EInvalidGraphic);
    EXPECT_EQ(list.Count(), 3);
}

TEST(ImageList, ReplaceDeleteMoveAndIndexErrors) {
    TImageList list(nullptr);
    auto red = Solid(16, 16, clRed);
    auto lime = Solid(16, 16, clLime);
    auto blue = Solid(16, 16, clBlue);
    list.Add(red.get(), nullptr);
    list.Add(lime.get(), nullptr);
    list.ReplaceMasked(0, blue.get(), clBlue);
    TBitmap img;
    list.GetBitmap(0, &img);
    EXPECT_EQ(img.Pixel(0, 0), clBlue);
    EXPECT_TRUE(list.IsTransparentPixel(0, 0, 0));
    // A negative identifier or one past the end: the host's error, nothing changed.
    EXPECT_THROW(list.ReplaceMasked(-1, red.get(), clNone), EInvalidOperation);
    EXPECT_THROW(list.ReplaceMasked(2, red.get(), clNone), EInvalidOperation);
    EXPECT_THROW(list.Delete(2), EInvalidOperation);
    EXPECT_EQ(list.Count(), 2);

    list.Insert(2, red.get(), nullptr); // blue, lime, red
    list.Move(2, 0);                    // red, blue, lime
    list.GetBitmap(0, &img);
    EXPECT_EQ(img.Pixel(0, 0), clRed);
    list.Delete(0);
    list.GetBitmap(0, &img);
    EXPECT_EQ(img.Pixel(0, 0), clBlue);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, ChangingTheSizeDropsTheImages) {
    TImageList list(nullptr);
    auto red = Solid(16, 16, clRed);
    list.Add(red.get(), nullptr);
    list.SetHeight(16); // unchanged: images kept
    EXPECT_EQ(list.Count(), 1);
    list.SetWidth(32);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_THROW(list.SetHeight(0), EInvalidOperation);
    EXPECT_THROW(list.SetSize(20000, 20000), EInvalidOperation);
    EXPECT_EQ(list.Width(), 32);
    EXPECT_EQ(list.Height(), 16);
    TImageList sized(nullptr, 24, 12);
    EXPECT_EQ(sized.Width(), 24);
    EXPECT_EQ(sized.Height(), 12);
}

// The way a list is filled with pictures read from records: a window-coloured tile, the picture
// stretched over it, the picture's transparent colour as mask; blank tiles pad up to an image
// number, and a picture that cannot be read shows "Bad".
TEST(ImageList, FillingWithStretchedTilesAsPicturesAreLoaded) {
    TImageList list(nullptr);
    list.SetSize(32, 32);
    TBitmap tile(list.Width(), list.Height());
    TCanvas* c = tile.Canvas();
    auto blank = [&] {
        c->Brush()->SetColor(clWindow);
        c->FillRect(Rect(0, 0, list.Width(), list.Height()));
    };
    blank();
    list.Add(&tile, nullptr); // image 0: padding
    auto quad = Picture("quad_24.bmp");
    c->StretchDraw(Rect(0, 0, 32, 32), quad.get());
    list.AddMasked(&tile, quad->TransparentColor()); // image 1
    blank();
    c->TextRect(Rect(0, 0, 32, 32), 0, 0, "Bad");
    list.ReplaceMasked(0, &tile, clBlue);

    TBitmap img;
    list.GetBitmap(1, &img);
    EXPECT_EQ(img.Pixel(31, 0), clLime);
    EXPECT_EQ(img.Pixel(0, 31), clBlue);
    EXPECT_TRUE(list.IsTransparentPixel(1, 0, 31));
    EXPECT_TRUE(list.IsTransparentPixel(1, 15, 16));
    EXPECT_FALSE(list.IsTransparentPixel(1, 16, 16));
    list.GetBitmap(0, &img);
    EXPECT_EQ(img.Pixel(31, 31), clWhite);
    // Exactly the tile it was given: the word where the canvas put it, window colour elsewhere.
    TBitmap word(32, 32);
    word.Canvas()->Brush()->SetColor(clWindow);
    word.Canvas()->FillRect(Rect(0, 0, 32, 32));
    word.Canvas()->TextRect(Rect(0, 0, 32, 32), 0, 0, "Bad");
    int ink = 0, differ = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            ink += word.Pixel(x, y) == clBlack;
            differ += img.Pixel(x, y) != word.Pixel(x, y);
            EXPECT_FALSE(list.IsTransparentPixel(0, x, y)) << x << "," << y;
        }
    EXPECT_GT(ink, 0);
    EXPECT_EQ(differ, 0);
}

TEST(ImageList, DrawHonoursMaskBackgroundStyleAndType) {
    TImageList list(nullptr, 4, 1);
    TBitmap strip(4, 1);
    strip.SetPixel(0, 0, clRed);
    strip.SetPixel(1, 0, clBlue); // the mask colour
    strip.SetPixel(2, 0, clWhite);
    strip.SetPixel(3, 0, clBlue);
    list.AddMasked(&strip, clBlue);
    TBitmap target(6, 1);
    auto draw = [&](auto&&... args) {
        target.Fill(clYellow);
        list.Draw(target.Canvas(), 1, 0, 0, args...);
    };
    draw();
    EXPECT_EQ(target.Pixel(1, 0), clRed);
    EXPECT_EQ(target.Pixel(2, 0), clYellow); // see-through
    EXPECT_EQ(target.Pixel(5, 0), clYellow);

    list.SetBkColor(clGreen);
    draw();
    EXPECT_EQ(target.Pixel(2, 0), clGreen);
    draw(dsTransparent, itImage, true);
    EXPECT_EQ(target.Pixel(2, 0), clYellow);
    draw(dsNormal, itMask, true);
    EXPECT_EQ(target.Pixel(1, 0), clBlack);
    EXPECT_EQ(target.Pixel(2, 0), clWhite);

    list.SetBkColor(clNone);
    list.SetBlendColor(clBlack);
    draw(dsSelected, itImage, true);
    EXPECT_EQ(target.Pixel(1, 0), RGB(127, 0, 0)); // half red, half black
    draw(dsNormal, itImage, false);
    EXPECT_EQ(GetRValue(target.Pixel(3, 0)), GetBValue(target.Pixel(3, 0))); // grey when disabled

    list.SetMasked(false);
    draw();
    EXPECT_EQ(target.Pixel(2, 0), clBlue);
    draw(dsNormal, itImage, true);
    list.Draw(target.Canvas(), 0, 0, 5); // no such image: nothing drawn, no error
    list.Draw(nullptr, 0, 0, 0);
}

TEST(ImageList, ChangesReachOnChangeAndEveryLink) {
    TImageList list(nullptr);
    int events = 0, linked = 0;
    TObject* sender = nullptr;
    list.OnChange = [&](TObject* s) {
        ++events;
        sender = s;
    };
    TChangeLink link;
    link.OnChange = [&](TObject*) { ++linked; };
    link.SetSender(&list);
    auto red = Solid(16, 16, clRed);
    list.AddMasked(red.get(), clNone);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(linked, 1);
    EXPECT_EQ(sender, &list);

    list.BeginUpdate();
    list.Add(red.get(), nullptr);
    list.Add(red.get(), nullptr);
    list.SetBkColor(clWhite);
    EXPECT_EQ(events, 1);
    list.EndUpdate();
    EXPECT_EQ(events, 2);
    EXPECT_EQ(linked, 2);

    list.SetBkColor(clWhite); // no change, no event
    EXPECT_EQ(events, 2);
    link.SetSender(nullptr);
    list.Clear();
    EXPECT_EQ(linked, 2);
}

TEST(ImageList, LinksAndListsForgetEachOtherWhicheverGoesFirst) {
    auto link = std::make_unique<TChangeLink>();
    {
        TImageList list(nullptr);
        link->SetSender(&list);
        auto other = std::make_unique<TChangeLink>();
        other->SetSender(&list);
        other.reset(); // unregisters itself
        auto red = Solid(16, 16, clRed);
        list.Add(red.get(), nullptr); // reaches only the living link
    }
    EXPECT_EQ(link->Sender(), nullptr);
    link.reset();

    TComponent owner(nullptr);
    auto* owned = new TImageList(&owner);
    TChangeLink survivor;
    survivor.SetSender(owned);
    owner.DestroyComponents();
    EXPECT_EQ(survivor.Sender(), nullptr);
}

TEST(ImageList, WritesItsImagesAsAStripForAPersonToLookAt) {
    TImageList list(nullptr);
    auto quad = Picture("quad_24.bmp");
    list.AddMasked(quad.get(), clBlue);
    auto lime = Solid(16, 16, clLime);
    list.Add(lime.get(), nullptr);

    TTempFile bmp(".bmp"), png(".png");
    list.SaveToFile(bmp.Path());
    TBitmap strip;
    strip.LoadFromFile(bmp.Path());
    ASSERT_EQ(strip.Width(), 32);
    EXPECT_EQ(strip.Height(), 16);
    EXPECT_EQ(strip.Pixel(0, 15), clBlue);
    EXPECT_EQ(strip.Pixel(16, 0), clLime);

    list.SaveToFile(png.Path());
    TPngImage image = ReadPngFile(png.Path());
    EXPECT_EQ(image.Width, 32);
    EXPECT_TRUE(image.HasAlpha);
    auto alphaAt = [&](int x, int y) { return image.Alpha[static_cast<size_t>(y) * 32 + x]; };
    EXPECT_EQ(alphaAt(0, 15), 0); // the masked blue quadrant is see-through
    EXPECT_EQ(alphaAt(0, 0), 255);
    EXPECT_EQ(alphaAt(16, 15), 255);

    list.Clear();
    EXPECT_THROW(list.SaveToFile(png.Path()), EInvalidOperation);
}

TEST(ImageList, AssignCopiesImagesAndSettings) {
    TImageList a(nullptr, 8, 8), b(nullptr);
    auto red = Solid(8, 8, clRed);
    a.AddMasked(red.get(), clRed);
    a.SetBkColor(clGreen);
    b.Assign(&a);
    EXPECT_EQ(b.Width(), 8);
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(b.BkColor(), clGreen);
    EXPECT_TRUE(b.IsTransparentPixel(0, 3, 3));
}

} // namespace
