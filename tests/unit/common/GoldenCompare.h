#pragma once

#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include <cstdlib>

namespace testing_support {

// Compares `actual` pixel for pixel with the PNG at `golden` (read as `format`). On a mismatch the
// actual picture and a white-on-black difference map are left as <outputDir>/<stem>.actual.png and
// .diff.png. SELVARIN_REGENERATE_GOLDEN rewrites the golden picture instead and skips the test.
inline void expectMatchesGolden(const QImage& actual, const QString& golden, QImage::Format format,
                                const QString& outputDir, const QString& stem)
{
    const char* regenerate = std::getenv("SELVARIN_REGENERATE_GOLDEN");
    if (regenerate != nullptr && *regenerate != '\0') {
        ASSERT_TRUE(actual.save(golden));
        GTEST_SKIP() << "golden picture rewritten";
    }
    const QImage expected = QImage(golden).convertToFormat(format);
    ASSERT_FALSE(expected.isNull()) << "missing " << golden.toStdString();
    ASSERT_EQ(expected.size(), actual.size());
    QImage diff(actual.size(), QImage::Format_RGB32);
    int mismatches = 0;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            const bool same = actual.pixel(x, y) == expected.pixel(x, y);
            mismatches += same ? 0 : 1;
            diff.setPixel(x, y, same ? 0xFF000000u : 0xFFFFFFFFu);
        }
    if (mismatches != 0) {
        actual.save(outputDir + "/" + stem + ".actual.png");
        diff.save(outputDir + "/" + stem + ".diff.png");
    }
    EXPECT_EQ(mismatches, 0) << "see " << stem.toStdString() << ".actual.png and .diff.png in "
                             << outputDir.toStdString();
}

}  // namespace testing_support
