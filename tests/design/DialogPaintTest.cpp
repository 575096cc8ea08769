// The four design dialogs paint completely: composed offscreen in the real font, every pixel of
// each dialog's window is painted by the form or one of its controls.
#include "orvel/design/FieldsDlg.h"
#include "orvel/design/IntMaskEdit.h"
#include "orvel/design/RelEdit.h"
#include "orvel/design/ValueLookupsEditor.h"
#include "tests/support/driver/Driver.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace orvel {
namespace {

class DialogPaintTest : public TUiTest {
protected:
    std::string previousFont = DefaultFontName();
    void SetUp() override {
        TUiTest::SetUp();
        SetDefaultFontName("DejaVu Sans");
    }
    void TearDown() override {
        SetDefaultFontName(previousFont);
        TUiTest::TearDown();
    }

    // Paints the dialog's window over a colour no control uses and answers how many pixels
    // kept it, and how many colours the picture has.
    static std::pair<int, int> Paint(TForm& dialog) {
        TSize size = FormWindowSize(dialog);
        TBitmap picture(size.cx, size.cy);
        picture.Fill(clFuchsia);
        PaintFormWindow(*picture.Canvas(), dialog, 0, 0);
        int untouched = 0;
        std::set<TColor> colours;
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                TColor c = picture.Pixel(x, y);
                if (c == clFuchsia) ++untouched;
                colours.insert(c);
            }
        return {untouched, static_cast<int>(colours.size())};
    }
};

TEST_F(DialogPaintTest, EveryDialogPaintsItsWholeWindow) {
    TOwned<TRelationsEditorDialog> relations(new TRelationsEditorDialog(nullptr));
    TOwned<TKeysEditorDialog> keys(new TKeysEditorDialog(nullptr));
    TOwned<TMaskEditor> mask(new TMaskEditor(nullptr));
    TOwned<TFmLookupValues> lookups(new TFmLookupValues(nullptr));
    for (TForm* dialog : {static_cast<TForm*>(relations.get()), static_cast<TForm*>(keys.get()),
                          static_cast<TForm*>(mask.get()), static_cast<TForm*>(lookups.get())}) {
        auto [untouched, colours] = Paint(*dialog);
        EXPECT_EQ(untouched, 0) << dialog->Caption();
        // Faces, edges, text in anti-aliased greys, a caption bar: far more than a flat fill.
        EXPECT_GT(colours, 8) << dialog->Caption();
    }
}

} // namespace
} // namespace orvel
