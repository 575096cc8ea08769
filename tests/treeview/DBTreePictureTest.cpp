// The data-aware tree as a person sees it: the organisation table's records with the pictures a
// dataset image list reads from the database, each record showing the picture of its IMAGE_ID
// (the default image for a null one).
#include "orvel/controls/DBImLst.h"
#include "orvel/host/data/DataSource.h"
#include "tests/support/pictures/GoldenPicture.h"
#include "tests/treeview/TreeTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace orvel::test {
namespace {

std::string PictureFile(const std::string& name) {
    std::ifstream in(std::string(ORVEL_TESTDATA_DIR) + "/pictures/" + name + ".bmp",
                     std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DBTreePictureTest : public TreeTest {
protected:
    void SetUp() override {
        font = std::make_unique<testing::TRealFontScope>();
        TreeTest::SetUp();
        tree->SetBounds(0, 0, 180, 140);
        // Pictures 10 to 13 for the records that name them; the default image 0 for the others.
        db->AddPicture(0, PictureFile("quad_4"));
        db->AddPicture(10, PictureFile("quad_24"));
        db->AddPicture(11, PictureFile("grad32x24_24"));
        db->AddPicture(12, PictureFile("plasma16_4bpp"));
        db->AddPicture(13, PictureFile("mix40x6_8"));
        pictures = db->OpenTable("PICTURES");
        images = new TDBImageList(&form->Form());
        images->SetIDField("ID");
        images->SetImageField("PIC");
        images->SetDataSet(pictures.get());
    }
    void TearDown() override {
        TreeTest::TearDown();
        pictures.reset();
        font.reset();
    }

    // The tree's window: frame, rows and scroll bar.
    std::unique_ptr<TBitmap> Window() {
        auto picture = std::make_unique<TBitmap>(tree->Width(), tree->Height());
        TCanvas& canvas = *picture->Canvas();
        canvas.Font()->Assign(tree->Font());
        int b = tree->BorderWidth();
        canvas.SetWindowOrg({-b, -b});
        tree->Perform(WM_PAINT, static_cast<WPARAM>(canvas.Handle()), 0);
        return picture;
    }

    std::unique_ptr<testing::TRealFontScope> font;
    TOwned<TTable> pictures;
    TDBImageList* images = nullptr;
};

TEST_F(DBTreePictureTest, RecordsShowThePicturesOfTheDatabase) {
    OpenOrganization();
    tree->SetImages(images);
    tree->SetDefImage(0);
    Bind();
    tree->FullExpand();
    tree->SetFocus();
    tree->SetSelected(NodeNamed(*tree, "North"));
    ASSERT_EQ(images->Count(), 14);
    // Each row shows the image of its record's IMAGE_ID just left of its caption (its opaque
    // pixels; a record without a picture of its own shows none).
    std::unique_ptr<TBitmap> window = Window();
    int b = tree->BorderWidth();
    for (const char* name : {"Head office", "Sales", "North", "Engineering", "South"}) {
        TDBTreeNode* node = NodeNamed(*tree, name);
        ASSERT_NE(node, nullptr) << name;
        TRect label = node->DisplayRect(true);
        int left = b + label.Left - images->Width();
        int top = b + label.Top + (tree->ItemHeight() - images->Height()) / 2;
        TBitmap expected;
        if (!images->GetBitmap(node->ImageIndex(), &expected)) {
            EXPECT_EQ(window->Pixel(left + 8, top + 8), ColorToRGB(clWindow)) << name;
            continue;
        }
        int compared = 0;
        for (int y = 0; y < images->Height(); ++y)
            for (int x = 0; x < images->Width(); ++x) {
                if (images->IsTransparentPixel(node->ImageIndex(), x, y)) continue;
                EXPECT_EQ(window->Pixel(left + x, top + y), expected.Pixel(x, y)) << name;
                ++compared;
            }
        EXPECT_GT(compared, 0) << name;
    }
    EXPECT_TRUE(testing::MatchesGolden(*window, "views/dbtree-pictures"));
}

} // namespace
} // namespace orvel::test
