// The dataset image list over tables of pictures stored as bitmap files in blobs. The pictures
// come from an independent encoder (testdata/pictures) with the pixels it reads back, so every
// image is checked pixel by pixel against the stretched picture: gaps, duplicates, damaged and
// missing pictures, masks, loads started by properties, and failures that leave the dataset as
// it was.
#include "orvel/controls/DBImLst.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/DataSource.h"
#include "tests/support/data/DataFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvel::test {
namespace {

// The bytes of a bitmap file of the test data.
std::string PictureFile(const std::string& name) {
    std::ifstream in(std::string(ORVEL_TESTDATA_DIR) + "/pictures/" + name + ".bmp",
                     std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture as the independent encoder reads it back: "x,y #RRGGBB" per pixel.
struct TReference {
    int Width = 0;
    int Height = 0;
    std::map<std::pair<int, int>, TColor> Pixels;
    TColor At(int x, int y) const { return Pixels.at({x, y}); }
};

TReference ReferencePixels(const std::string& name) {
    std::ifstream in(std::string(ORVEL_TESTDATA_DIR) + "/pictures/" + name + ".pixels.txt");
    EXPECT_TRUE(in.good()) << name;
    TReference ref;
    int x = 0, y = 0;
    unsigned rgb = 0;
    char comma = 0, hash = 0;
    while (in >> std::dec >> x >> comma >> y >> hash >> std::hex >> rgb) {
        ref.Pixels[{x, y}] = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        ref.Width = std::max(ref.Width, x + 1);
        ref.Height = std::max(ref.Height, y + 1);
    }
    return ref;
}

// The reference stretched to an image of the list: each image pixel takes the picture pixel
// under its centre.
std::vector<TColor> Stretched(const TReference& ref, int width, int height) {
    std::vector<TColor> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out.push_back(ref.At((2 * x + 1) * ref.Width / (2 * width),
                                 (2 * y + 1) * ref.Height / (2 * height)));
    return out;
}

const TColor Window = ColorToRGB(clWindow);

class DBImageListTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = std::make_unique<TTestDatabase>();
        // PICTURES: 0 and 1 good, 2 and 3 missing, 4 damaged, 5 good.
        db->AddPicture(0, PictureFile("quad_24"));
        db->AddPicture(1, PictureFile("grad32x24_24"));
        db->AddPicture(4, PictureFile("bad_truncated"));
        db->AddPicture(5, PictureFile("quad_4"));
        table = db->OpenTable("PICTURES");
        list.reset(new TDBImageList(nullptr));
        list->SetIDField("ID");
        list->SetImageField("PIC");
    }
    void TearDown() override {
        list.reset();
        table.reset();
        db.reset();
    }

    // Image index shows exactly these pixels, and those of the mask colour are transparent.
    void ExpectImage(int index, const std::vector<TColor>& pixels, TColor maskColor) {
        SCOPED_TRACE("image " + std::to_string(index));
        TBitmap image;
        ASSERT_TRUE(list->GetBitmap(index, &image));
        int w = list->Width(), bad = 0;
        for (int y = 0; y < list->Height(); ++y)
            for (int x = 0; x < w; ++x) {
                TColor expected = pixels[static_cast<size_t>(y * w + x)];
                bool transparent = maskColor != clNone && expected == ColorToRGB(maskColor);
                if (image.Pixel(x, y) != expected ||
                    list->IsTransparentPixel(index, x, y) != transparent)
                    ++bad;
            }
        EXPECT_EQ(bad, 0);
    }
    void ExpectBlank(int index) {
        ExpectImage(
            index, std::vector<TColor>(static_cast<size_t>(list->Width() * list->Height()), Window),
            clNone);
    }
    // The word "Bad" in the top-left corner of a window-coloured image, pixel for pixel as the
    // host draws it there, and nothing else.
    void ExpectBad(int index, TColor maskColor) {
        SCOPED_TRACE("bad image " + std::to_string(index));
        const int w = list->Width(), h = list->Height();
        TBitmap word(w, h);
        word.Canvas()->Brush()->SetColor(clWindow);
        word.Canvas()->FillRect(Rect(0, 0, w, h));
        word.Canvas()->TextRect(Rect(0, 0, w, h), 0, 0, "Bad");
        std::vector<TColor> pixels;
        int ink = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                pixels.push_back(word.Pixel(x, y));
                if (pixels.back() != Window) {
                    ++ink;
                    EXPECT_TRUE(x < 3 * TextCellWidth && y < TextCellHeight) << x << "," << y;
                }
            }
        ASSERT_GT(ink, 0) << "the reference shows no word";
        ExpectImage(index, pixels, maskColor);
    }
    TColor BottomLeft(const TReference& ref) { return ref.At(0, ref.Height - 1); }

    std::unique_ptr<TTestDatabase> db;
    TOwned<TTable> table;
    TOwned<TDBImageList> list;
};

TEST_F(DBImageListTest, EachPictureBecomesTheImageOfItsIdentifier) {
    // Another control on the table hears of the walk once, not once per record.
    TDataSource source(nullptr);
    source.SetDataSet(table.get());
    TFieldDataLink link;
    int changes = 0;
    link.OnDataChange = [&](TObject*) { ++changes; };
    link.SetFieldName("ID");
    link.SetDataSource(&source);
    changes = 0;

    list->SetDataSet(table.get()); // open: loads at once
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(table->Eof());
    ASSERT_EQ(list->Count(), 6);
    TReference quad = ReferencePixels("quad_24"), grad = ReferencePixels("grad32x24_24"),
               quad4 = ReferencePixels("quad_4");
    ExpectImage(0, Stretched(quad, 16, 16), BottomLeft(quad));
    ExpectImage(1, Stretched(grad, 16, 16), BottomLeft(grad));
    ExpectBlank(2);
    ExpectBlank(3);
    ExpectBad(4, BottomLeft(grad)); // the colour noted for the record before
    ExpectImage(5, Stretched(quad4, 16, 16), BottomLeft(quad4));
    EXPECT_TRUE(list->IsTransparentPixel(0, 0, 15)); // the blue quadrant
    EXPECT_FALSE(list->IsTransparentPixel(0, 0, 0));

    // Refresh starts again from an empty list and leaves the table on its first record.
    db->Execute("DELETE FROM PICTURES WHERE ID = 5");
    table->Refresh();
    list->Refresh();
    EXPECT_EQ(list->Count(), 5);
    EXPECT_TRUE(table->Bof());
    EXPECT_EQ(table->FieldByName("ID")->GetAsInteger(), 0);
    ExpectImage(0, Stretched(quad, 16, 16), BottomLeft(quad));
    link.SetDataSource(nullptr);

    // Larger images take every picture stretched to their size.
    list->SetWidth(32);
    list->SetHeight(32);
    list->Refresh();
    ExpectImage(0, Stretched(quad, 32, 32), BottomLeft(quad));
    ExpectImage(1, Stretched(grad, 32, 32), BottomLeft(grad));
    ExpectBlank(3);
}

TEST_F(DBImageListTest, LaterRecordsWinAndAFirstPictureThatFailsIsOpaque) {
    db->Execute("CREATE TABLE ICONS (SEQ INTEGER PRIMARY KEY, IMAGE_NO INTEGER, PIC BLOB)");
    auto add = [&](int seq, const char* no, const std::string& bytes) {
        auto stmt = db->Database().Connection().Prepare(
            std::string("INSERT INTO ICONS VALUES (?, ") + no + ", ?)");
        stmt->BindInt64(0, seq);
        stmt->BindBlob(1, bytes);
        stmt->Step();
    };
    add(1, "1", PictureFile("bad_empty")); // fails before any colour was noted
    add(2, "2", PictureFile("quad_24"));
    add(3, "2", PictureFile("odd5x3_24"));
    add(4, "NULL", PictureFile("bad_notbmp")); // a null identifier is 0
    TOwned<TTable> icons = db->OpenTable("ICONS");
    list->SetIDField("IMAGE_NO");
    list->SetDataSet(icons.get());
    ASSERT_EQ(list->Count(), 3);
    TReference odd = ReferencePixels("odd5x3_24");
    ExpectBad(1, clNone);
    ExpectImage(2, Stretched(odd, 16, 16), BottomLeft(odd));
    ExpectBad(0, BottomLeft(odd));
    list->SetDataSet(nullptr);
}

TEST_F(DBImageListTest, ClosedTablesAreOpenedForRefreshOnly) {
    table->Close();
    list->SetDataSet(table.get()); // closed: nothing loads
    EXPECT_EQ(list->Count(), 0);
    list->Refresh();
    EXPECT_EQ(list->Count(), 6);
    EXPECT_FALSE(table->GetActive());

    // Setting a name to its value does not load; a load started by a property reads from the
    // current record on.
    table->Open();
    list->Clear();
    list->SetIDField("ID");
    EXPECT_EQ(list->Count(), 0);
    ASSERT_TRUE(table->Locate("ID", Variant(4)));
    list->SetImageField("");
    list->SetImageField("PIC");
    ASSERT_EQ(list->Count(), 6);
    ExpectBlank(0);
    ExpectBlank(1);
    ExpectImage(5, Stretched(ReferencePixels("quad_4"), 16, 16),
                BottomLeft(ReferencePixels("quad_4")));

    // A dataset that goes away is dropped.
    table.reset();
    EXPECT_EQ(list->GetDataSet(), nullptr);
    list->Refresh();
    EXPECT_EQ(list->Count(), 0);
}

TEST_F(DBImageListTest, FailuresLeaveTheImagesAndTheTableAsTheyWere) {
    list->SetDataSet(table.get());
    ASSERT_EQ(list->Count(), 6);
    table->First();
    EXPECT_THROW(list->SetImageField("ID"), EDatabaseError); // not a blob field
    EXPECT_THROW(list->SetImageField("NOPE"), EDatabaseError);
    EXPECT_THROW(list->SetIDField("PIC"), EDatabaseError); // not an integer field
    EXPECT_EQ(list->Count(), 6);
    EXPECT_TRUE(table->Bof());

    // Identifiers the list cannot hold end the load, and the table is put back as it was.
    table->Close();
    list->SetIDField("ID");
    list->SetImageField("PIC");
    db->AddPicture(100000000, PictureFile("quad_24"));
    EXPECT_THROW(list->Refresh(), EInvalidOperation);
    EXPECT_FALSE(table->GetActive());
    EXPECT_LT(list->Count(), 7);

    db->Execute("DELETE FROM PICTURES WHERE ID = 100000000");
    db->AddPicture(-1, PictureFile("quad_24"));
    table->Open();
    table->Last();
    EXPECT_THROW(list->Refresh(), EInvalidOperation);
    EXPECT_TRUE(table->Bof());
}

} // namespace
} // namespace orvel::test
