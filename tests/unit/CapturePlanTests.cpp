#include "overlay/CapturePlan.h"

#include <gtest/gtest.h>

#include "core/Utf.h"
#include "settings/Shortcut.h"

namespace kadrix {
namespace {

TEST(CapturePlan, SettingsDecideFileUploadAndClipboard) {
    struct Case {
        bool save;
        int format;
        bool upload;
        bool writeFile;
        ScreenshotFormat fileFormat;
        bool clipboard;
        bool needJpeg;
    };
    const Case cases[] = {
        {true, 0, true, true, ScreenshotFormat::Jpeg, false, true},    // the defaults
        {true, 1, true, true, ScreenshotFormat::Bmp, false, true},     // a BMP file, the upload sends JPEG
        {true, -1, false, true, ScreenshotFormat::Bmp, true, false},   // nothing chosen writes BMP
        {true, 0, false, true, ScreenshotFormat::Jpeg, true, true},
        {true, 7, false, true, ScreenshotFormat::Bmp, true, false},
        {false, 0, false, false, ScreenshotFormat::Jpeg, true, false}, // clipboard only, nothing encoded
        {false, 1, true, false, ScreenshotFormat::Bmp, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.save << " " << c.format << " " << c.upload);
        const CapturePlan plan = PlanCapture(c.save, c.format, c.upload);
        EXPECT_EQ(plan.WriteFile, c.writeFile);
        if (plan.WriteFile) {
            EXPECT_EQ(plan.Format, c.fileFormat);
        }
        EXPECT_EQ(plan.Upload, c.upload);
        EXPECT_EQ(plan.Clipboard, c.clipboard);
        EXPECT_EQ(plan.NeedJpeg, c.needJpeg);
    }
}

TEST(CapturePlan, OverlayPixelsAreReadOnlyWhereMarksStandInsideTheArea) {
    const Rect area{100, 100, 400, 300};
    const Rect none[1] = {};
    EXPECT_TRUE(OverlayPixelsToRead(area, {}, {}).Empty()) << "no strokes, no eraser: nothing to read";
    EXPECT_EQ(OverlayPixelsToRead(area, {150, 160, 20, 10}, {}), (Rect{150, 160, 20, 10}));
    EXPECT_EQ(OverlayPixelsToRead(area, {80, 90, 40, 30}, {}), (Rect{100, 100, 20, 20})) << "clipped to the area";
    const Rect eraser[2] = {{480, 380, 22, 22}, {481, 381, 20, 20}};
    EXPECT_EQ(OverlayPixelsToRead(area, {150, 160, 20, 10}, eraser), (Rect{150, 160, 350, 240}));
    EXPECT_EQ(OverlayPixelsToRead(area, {}, eraser), (Rect{480, 380, 20, 20}));
    EXPECT_TRUE(OverlayPixelsToRead(area, {600, 600, 10, 10}, none).Empty()) << "marks outside the area";
    EXPECT_TRUE(OverlayPixelsToRead({}, {150, 160, 20, 10}, {}).Empty());
}

TEST(Shortcut, NamesTheModifierAndTheKey) {
    EXPECT_EQ(Utf16ToUtf8(ShortcutText(1, u'S')), "Alt+S");
    EXPECT_EQ(Utf16ToUtf8(ShortcutText(2, u'P')), "Ctrl+P");
    EXPECT_EQ(Utf16ToUtf8(ShortcutText(4, u'Q')), "Shift+Q");
    EXPECT_EQ(Utf16ToUtf8(ShortcutText(4, u'Ж')), "Shift+Ж");
}

}  // namespace
}  // namespace kadrix
