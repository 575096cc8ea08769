// The explorer's parts: the text screen (what a dump prints), key scripts, the command line and
// the glyphs that stand for an image list's pictures.
#include "apps/explorer/Input.h"
#include "apps/explorer/Options.h"
#include "apps/explorer/Painter.h"
#include "apps/explorer/TextScreen.h"
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/controls/ImgList.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Messages.h"

#include <gtest/gtest.h>

namespace orvel::explorer {
namespace {

TEST(TextScreenTest, PrintsCharactersNotBytesAndClipsAtTheEdge) {
    TTextScreen screen(10, 2);
    EXPECT_EQ(screen.Print(7, 0, "▸ Öl and more"), 13);
    EXPECT_EQ(screen.RowText(0), "       ▸ Ö");
    // Control characters from the data never reach the terminal.
    screen.Print(0, 1, "a\tb\x1b");
    EXPECT_EQ(screen.RowText(1), "a?b?");
    EXPECT_EQ(screen.ToText(), "       ▸ Ö\na?b?\n");
}

TEST(TextScreenTest, FitTextCutsWithAMarkOrPads) {
    EXPECT_EQ(FitText("Building", 5), "Buil…");
    EXPECT_EQ(FitText("Building", 5, false), "Build");
    EXPECT_EQ(FitText("Öl", 4), "Öl  ");
    EXPECT_EQ(FitText("x", 0), "");
    EXPECT_EQ(TextCells("Ölé"), 3);
}

TEST(TextScreenTest, WideCharactersTakeTwoCellsAndCombiningOnesNone) {
    EXPECT_EQ(TextCells("日本"), 4);
    EXPECT_EQ(TextCells("e\u0301\u200B"), 1);
    EXPECT_EQ(TextCells("🌾●▶✖"), 5);
    EXPECT_EQ(CharCells("\xE3"), 1) << "a stray byte";
    TTextScreen screen(6, 2);
    EXPECT_EQ(screen.Print(0, 0, "a日e\u0301b"), 5);
    EXPECT_EQ(screen.RowText(0), "a日e\u0301b");
    EXPECT_EQ(screen.At(2, 0).Glyph, "") << "the right half of 日";
    // Writing over either half of a wide character blanks the other half.
    screen.PutGlyph(2, 0, "|", {});
    EXPECT_EQ(screen.RowText(0), "a |e\u0301b");
    screen.Print(0, 1, "日本語");
    screen.PutGlyph(2, 1, "x", {});
    EXPECT_EQ(screen.RowText(1), "日x 語");
    // A wide character with room for half of it shows as a blank, at the edge and at maxCells.
    screen.Clear();
    EXPECT_EQ(screen.Print(5, 0, "日"), 1);
    EXPECT_EQ(screen.Print(0, 1, "a日b", {}, 2), 2);
    EXPECT_EQ(screen.ToText(), "\na\n");
}

TEST(TextScreenTest, FitTextCountsCellsNotCharacters) {
    EXPECT_EQ(FitText("日本語", 8), "日本語  ");
    EXPECT_EQ(FitText("日本語", 5), "日本…");
    EXPECT_EQ(FitText("日本語", 4), "日… ") << "no half of a wide character is shown";
    EXPECT_EQ(FitText("日本語", 4, false), "日本");
    EXPECT_EQ(FitText("Cafe\u0301", 4), "Cafe\u0301");
    for (int cells = 1; cells < 9; ++cells)
        EXPECT_EQ(TextCells(FitText("a日本語b🌾", cells)), cells) << cells;
}

TEST(TextScreenTest, FramesInUnicodeOrAscii) {
    TTextScreen screen(8, 3);
    screen.Frame({0, 0, 8, 3}, "Tree", {});
    EXPECT_EQ(screen.RowText(0), "┌ Tree ┐");
    EXPECT_EQ(screen.RowText(1), "│      │");
    screen.SetAscii(true);
    screen.Clear();
    screen.Frame({0, 0, 8, 3}, "", {});
    EXPECT_EQ(screen.RowText(2), "+------+");
}

TEST(KeyScriptTest, ReadsCharactersNamedKeysAndMouseItems) {
    std::vector<TInputEvent> events = ParseKeyScript("a<Down><S-Tab><C-x><lt>é\n<Drag:1,2,30,4>");
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[0].Kind, TInputKind::Char);
    EXPECT_EQ(events[0].Text, "a");
    EXPECT_EQ(events[1].Key, VK_DOWN);
    EXPECT_TRUE(events[2].Shift);
    EXPECT_EQ(events[2].Key, VK_TAB);
    EXPECT_TRUE(events[3].Ctrl);
    EXPECT_EQ(events[3].Key, 'X');
    EXPECT_EQ(events[4].Text, "<");
    EXPECT_EQ(events[5].Text, "é");
    EXPECT_EQ(events[6].Action, TMouseAction::Drag);
    EXPECT_EQ(events[6].X2, 30);
    EXPECT_EQ(events[6].Y2, 4);
    EXPECT_EQ(KeyName(events[2]), "S-Tab");
}

TEST(KeyScriptTest, RejectsWhatItCannotRead) {
    EXPECT_THROW(ParseKeyScript("<Nope>"), EConvertError);
    EXPECT_THROW(ParseKeyScript("<Down"), EConvertError);
    EXPECT_THROW(ParseKeyScript("<Click:3>"), EConvertError);
    EXPECT_THROW(ParseKeyScript("<Click:-1,2>"), EConvertError);
    EXPECT_THROW(ParseKeyScript("<Drag:1,2,3>"), EConvertError);
}

TEST(OptionsTest, ViewOptionsAndModes) {
    TOptions o = ParseOptions(
        {"--table", "Classes", "--root", "null", "--keys", "<Down>", "--size", "120x40", "my.db"});
    EXPECT_EQ(o.View.Table, "Classes");
    EXPECT_EQ(o.View.Root, "null");
    EXPECT_TRUE(o.CustomView);
    EXPECT_TRUE(o.Scripted);
    EXPECT_EQ(o.Columns, 120);
    EXPECT_EQ(o.Rows, 40);
    EXPECT_EQ(o.Database, "my.db");
    EXPECT_FALSE(ParseOptions({}).CustomView);
    // Below the layout's minimum a size is taken (the screen shows a notice), down to 10x3.
    EXPECT_EQ(ParseOptions({"--size", "40x10"}).Columns, 40);
    EXPECT_THROW(ParseOptions({"--size", "9x5"}), EConvertError);
    EXPECT_THROW(ParseOptions({"--generate", "0", "x.db"}), EConvertError);
    EXPECT_THROW(ParseOptions({"--table"}), EConvertError);
    EXPECT_THROW(ParseOptions({"a.db", "b.db"}), EConvertError);
    EXPECT_THROW(ParseOptions({"--bogus"}), EConvertError);
}

TEST(OptionsTest, ARelationOfOnesOwnGivesTheDefaultRootAndKeyFields) {
    TOptions o = ParseOptions({"--links", "A->B; ;C->D"});
    EXPECT_EQ(o.View.Root, "null;null");
    EXPECT_EQ(o.View.KeyFields, "B;D");
    // What is given stays as given, in any order of the options.
    TOptions given = ParseOptions({"--root", "1", "--key-fields", "K", "--links", "A->B"});
    EXPECT_EQ(given.View.Root, "1");
    EXPECT_EQ(given.View.KeyFields, "K");
    // The sample's own view keeps its defaults.
    EXPECT_EQ(ParseOptions({}).View.Root, "null;null");
    // A script file that is not there is an error, not an empty script.
    EXPECT_THROW(ParseOptions({"--keys", "@/nonexistent/keys"}), EConvertError);
    EXPECT_THROW(ParseOptions({"--keys-file", ""}), EConvertError);
}

TEST(ImageGlyphTest, APictureShowsAsTheGlyphOfItsMainColour) {
    TImageList images(nullptr);
    auto add = [&](TColor shape) {
        TBitmap picture(16, 16);
        picture.Fill(RGB(255, 255, 255)); // the background, taken from the bottom-left pixel
        for (int y = 4; y < 12; ++y)
            for (int x = 4; x < 12; ++x)
                picture.SetPixel(x, y, shape);
        images.Add(&picture, nullptr);
    };
    add(RGB(0, 170, 0));
    add(RGB(0, 0, 255));
    add(RGB(128, 128, 128));
    EXPECT_EQ(ImageGlyph(&images, 0, false).Text, "●");
    EXPECT_EQ(ImageGlyph(&images, 0, false).Attr.Fore, ccGreen);
    EXPECT_EQ(ImageGlyph(&images, 1, false).Text, "■");
    EXPECT_EQ(ImageGlyph(&images, 1, true).Text, "#");
    EXPECT_EQ(ImageGlyph(&images, 2, false).Text, "○");
    // No list or no such image: a blank.
    EXPECT_EQ(ImageGlyph(&images, 3, false).Text, " ");
    EXPECT_EQ(ImageGlyph(nullptr, 0, false).Text, " ");
}

} // namespace
} // namespace orvel::explorer
