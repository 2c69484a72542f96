#include "platform/SharedLibrary.h"

#include "platform/Paths.h"

#include <gtest/gtest.h>

#ifdef SELVARIN_TEST_PLUGIN_DIR

namespace {

const std::string kDir = SELVARIN_TEST_PLUGIN_DIR;

TEST(SharedLibrary, OwnSymbolsAreTheObjectsOwnExports)
{
    auto lib = platform::SharedLibrary::open(kDir + "/ppm.spi");
    ASSERT_TRUE(lib) << lib.error().message;
    EXPECT_NE(lib.value().ownSymbol("GetPicture"), nullptr);
    EXPECT_NE(lib.value().symbol("LocalAlloc"), nullptr) << "found in a library it depends on";
    EXPECT_EQ(lib.value().ownSymbol("LocalAlloc"), nullptr) << "... which is not its own export";
    EXPECT_EQ(lib.value().ownSymbol("GetArchiveInfo"), nullptr);

    auto none = platform::SharedLibrary::open(kDir + "/test_noexports.spi");
    ASSERT_TRUE(none);
    EXPECT_NE(none.value().ownSymbol("GetPluginInformation"), nullptr);
    EXPECT_EQ(none.value().ownSymbol("GetPluginInfo"), nullptr);
}

TEST(SharedLibrary, BareNamesAreFoundInTheCurrentFolder)
{
    const std::string before = platform::currentDirectory();
    ASSERT_TRUE(platform::setCurrentDirectory(platform::fromOsPath(kDir)).ok());
    auto lib = platform::SharedLibrary::open("ppm.spi");
    EXPECT_TRUE(lib) << "a bare name is looked for beside the executable and in the current folder";
    EXPECT_TRUE(lib && lib.value().ownSymbol("GetPicture"));
    ASSERT_TRUE(platform::setCurrentDirectory(before).ok());
}

TEST(SharedLibrary, FailuresCarryTheLoadersReason)
{
    auto missing = platform::SharedLibrary::open(kDir + "/none.spi");
    ASSERT_FALSE(missing);
    EXPECT_FALSE(missing.error().message.empty());
    EXPECT_FALSE(platform::SharedLibrary::open(""));
}

TEST(SharedLibrary, MovedOwnershipClosesOnce)
{
    auto lib = platform::SharedLibrary::open(kDir + "/ppm.spi");
    ASSERT_TRUE(lib);
    platform::SharedLibrary a = std::move(lib.value());
    platform::SharedLibrary b;
    b = std::move(a);
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    b.close();
    EXPECT_FALSE(b);
    EXPECT_EQ(b.symbol("GetPicture"), nullptr);
}

}  // namespace

#endif
