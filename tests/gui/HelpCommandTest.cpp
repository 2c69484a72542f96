#include "AppFixture.h"

#include "app/Commands.h"
#include "app/MainFrame.h"

#include <QDesktopServices>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

// Takes the file URLs the desktop would open, so the test sees what Help asks for.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class HelpCommandTest : public guitest::AppFixture {
protected:
    UrlCatcher catcher;

    void SetUp() override { QDesktopServices::setUrlHandler("file", &catcher, "open"); }
    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler("file");
        AppFixture::TearDown();
    }

    std::string runHelp()
    {
        testing::internal::CaptureStderr();
        application->mainFrame()->runCommand(app::commands::HelpContents);
        return testing::internal::GetCapturedStderr();
    }
    void touch(const std::filesystem::path& p)
    {
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p) << "<html></html>";
    }
};

TEST_F(HelpCommandTest, OpensTheHtmlManualBesideTheExecutable)
{
    startWith(startScript());
    touch(module / "help" / "index.html");
    EXPECT_EQ(runHelp(), "");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile().toStdString(), (module / "help" / "index.html").string());
}

TEST_F(HelpCommandTest, CompiledHelpFileWinsWhenPresent)
{
    startWith(startScript());
    touch(module / "help" / "index.html");
    touch(module / "Selvarin.chm");
    EXPECT_EQ(runHelp(), "");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile().toStdString(), (module / "Selvarin.chm").string());
}

TEST_F(HelpCommandTest, MissingManualSaysWhereItWasLookedFor)
{
    startWith(startScript());
    const std::string boxes = runHelp();
    EXPECT_TRUE(catcher.urls.isEmpty());
    EXPECT_NE(boxes.find("MessageBox[Selvarin]: ヘルプファイルが見つかりません。\\n"), std::string::npos) << boxes;
    EXPECT_NE(boxes.find("help\\index.html"), std::string::npos) << boxes;
}

}  // namespace

#include "HelpCommandTest.moc"
