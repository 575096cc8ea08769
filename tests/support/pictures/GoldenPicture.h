// Comparing a rendered picture with its stored expected picture (a PNG file under
// tests/golden/). A mismatch leaves the actual picture and a picture of the differences beside
// the test's output, so a person can look at both.
#pragma once

#include "orvel/host/controls/Graphics.h"

#include <gtest/gtest.h>

#include <string>

namespace orvel::testing {

// Compares actual with tests/golden/<name>.png (name like "controls/button-focused"): same size,
// and no channel of any pixel further apart than tolerance. On a mismatch writes
// picture-failures/<name>.actual.png and picture-failures/<name>.diff.png under the working
// directory. With ORVEL_UPDATE_GOLDEN=1 in the environment, stores actual as the expected picture
// instead (tools/update-golden runs every suite that way).
::testing::AssertionResult MatchesGolden(const TBitmap& actual, const std::string& name,
                                         int tolerance = 0);

// The folder the expected pictures are kept in.
std::string GoldenDirectory();

// Selects the real font for the controls a test creates, and the previous one again when it
// goes out of scope.
class TRealFontScope {
public:
    explicit TRealFontScope(const std::string& name = "DejaVu Sans");
    ~TRealFontScope();
    TRealFontScope(const TRealFontScope&) = delete;
    TRealFontScope& operator=(const TRealFontScope&) = delete;

private:
    std::string FPrevious;
};

} // namespace orvel::testing
