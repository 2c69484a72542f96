#include "platform/SpecialFolders.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A home folder of our own with XDG user folders, so the answers are known.
class SpecialFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_home = fs::temp_directory_path() / ("selvarin-home-" + std::to_string(getpid()));
        fs::remove_all(m_home);
        fs::create_directories(m_home / ".config");
        std::ofstream(m_home / ".config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                                           "XDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"\n"
                                                           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
        for (const char* sub : {"Schreibtisch", "Vorlagen", "Dokumente", ".local/share/fonts", ".config/autostart"})
            fs::create_directories(m_home / sub);
        save("HOME");
        save("XDG_CONFIG_HOME");
        save("XDG_DATA_HOME");
        save("XDG_CACHE_HOME");
        setenv("HOME", m_home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
        unsetenv("XDG_CACHE_HOME");
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        fs::remove_all(m_home);
    }

    std::string expect(const char* sub) const { return platform::fromOsPath((m_home / sub).string()); }

    fs::path m_home;

private:
    void save(const std::string& name)
    {
        const char* v = std::getenv(name.c_str());
        m_saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(SpecialFolders, XdgFoldersAnswer)
{
    EXPECT_EQ(platform::specialFolder("DESKTOP"), expect("Schreibtisch"));
    EXPECT_EQ(platform::specialFolder("DESKTOPDIRECTORY"), expect("Schreibtisch"));
    EXPECT_EQ(platform::specialFolder("TEMPLATES"), expect("Vorlagen"));
    EXPECT_EQ(platform::specialFolder("PERSONAL"), expect("Dokumente"));
    EXPECT_EQ(platform::specialFolder("APPDATA "), expect(".config"));
    EXPECT_EQ(platform::specialFolder("FONTS"), expect(".local/share/fonts"));
    EXPECT_EQ(platform::specialFolder("STARTUP"), expect(".config/autostart"));
}

TEST_F(SpecialFolders, NamesAreExact)
{
    EXPECT_EQ(platform::specialFolder("APPDATA"), std::nullopt) << "without its blank it is no name";
    EXPECT_EQ(platform::specialFolder("desktop"), std::nullopt);
    EXPECT_EQ(platform::specialFolder(""), std::nullopt);
}

TEST_F(SpecialFolders, VirtualAndMissingFoldersGiveEmptyText)
{
    for (const char* name : {"DRIVES", "PRINTERS", "NETWORK", "BITBUCKET", "CONTROLS", "INTERNET", "RECENT", "COOKIES"})
        EXPECT_EQ(platform::specialFolder(name), std::string()) << name;
    fs::remove(m_home / "Vorlagen");
    EXPECT_EQ(platform::specialFolder("TEMPLATES"), std::string()) << "a folder that is not there";
}

TEST_F(SpecialFolders, EveryNameAnswers)
{
    for (const char* name : {"ALTSTARTUP", "APPDATA ", "BITBUCKET", "COMMON_ALTSTARTUP", "COMMON_DESKTOPDIRECTORY",
                             "COMMON_FAVORITES", "COMMON_PROGRAMS", "COMMON_STARTMENU", "COMMON_STARTUP", "CONTROLS",
                             "COOKIES", "DESKTOP", "DESKTOPDIRECTORY", "DRIVES", "FAVORITES", "FONTS", "HISTORY",
                             "INTERNET", "INTERNET_CACHE", "NETHOOD", "NETWORK", "PERSONAL", "PRINTERS", "PRINTHOOD",
                             "PROGRAMS", "RECENT", "SENDTO", "STARTMENU", "STARTUP", "TEMPLATES"})
        EXPECT_TRUE(platform::specialFolder(name).has_value()) << name;
}

}  // namespace
