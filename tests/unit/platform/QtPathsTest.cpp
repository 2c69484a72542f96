#include "platform/QtPaths.h"

#include <gtest/gtest.h>

namespace {

TEST(QtPaths, LocalUrlsCarryTheOsBytesBothWays)
{
    for (const std::string path : {"/tmp/plain.jpg", "/tmp/caf\xc3\xa9 x.jpg", "/tmp/\xe9t\xe9.jpg", "/tmp/a\\b%#?.jpg",
                                   "/tmp/\xf0\x9f\x98\x80/\xea\xb0\x80"}) {
        const QUrl url = platform::localUrlOfOsPath(path);
        EXPECT_TRUE(url.isValid()) << path;
        EXPECT_TRUE(url.isLocalFile()) << path;
        EXPECT_EQ(platform::osPathOfLocalUrl(url), path);
    }
    // As a file manager writes them: bytes that are not UTF-8 percent-encoded.
    EXPECT_EQ(platform::osPathOfLocalUrl(QUrl::fromEncoded("file:///home/u/%E9t%E9.jpg")), "/home/u/\xe9t\xe9.jpg");
    EXPECT_EQ(platform::osPathOfLocalUrl(QUrl::fromEncoded("file://host/home/u/caf%C3%A9.jpg")), "/home/u/caf\xc3\xa9.jpg");
}

TEST(QtPaths, QtStringPathsComeAndGoWhole)
{
    const QString path = QString::fromUtf8("/tmp/caf\u00e9/\uc0ac\uc9c4 \U0001F600.jpg");
    const std::string script = platform::scriptPathOfQtPath(path);
    EXPECT_EQ(script.find('?'), std::string::npos);
    EXPECT_EQ(script.find('/'), std::string::npos) << "script form: backslash separators";
    EXPECT_EQ(platform::qtPathOfScriptPath(script), path);
}

}  // namespace
