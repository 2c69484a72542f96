#include "MainFrame.h"

#include "Version.h"

#include "engine/Format.h"
#include "engine/Messages.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/TextCodec.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStyle>

namespace app {
namespace {

QString catalogue(engine::msg::Id id) { return platform::cp932ToQString(engine::msg::text(id)); }

}  // namespace

MainFrame::MainFrame(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("mainFrame");
    setWindowTitle(catalogue(engine::msg::Id::ApplicationName));
    setMinimumSize(320, 240);
    resize(800, 600);
    auto* viewArea = new QWidget(this);
    viewArea->setObjectName("viewArea");
    setCentralWidget(viewArea);

    auto* exitRequest = new QAction(this);
    exitRequest->setShortcut(Qt::Key_Escape);
    connect(exitRequest, &QAction::triggered, this, &MainFrame::requestExit);
    addAction(exitRequest);

    createMenus();
}

void MainFrame::createMenus()
{
    QMenu* help = menuBar()->addMenu(catalogue(engine::msg::Id::MenuHelp));
    QAction* about = help->addAction(catalogue(engine::msg::Id::MenuAbout));
    connect(about, &QAction::triggered, this, &MainFrame::showAbout);
}

void MainFrame::requestExit()
{
    if (isFullScreen()) {
        showNormal();
        return;
    }
    const std::string text = engine::format(engine::msg::text(engine::msg::Id::ExitConfirm), {version().productName});
    const platform::Answer answer = platform::messageBox(text, engine::msg::text(engine::msg::Id::ExitConfirmCaption),
                                                         platform::Buttons::YesNo, platform::Icon::Question,
                                                         platform::Owner::MainWindow);
    if (answer == platform::Answer::Yes)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainFrame::showAbout()
{
    // A parent-owned dialog: modal for a person, merely shown when nobody may be waited for.
    auto* dialogPtr = new QDialog(this);
    QDialog& dialog = *dialogPtr;
    dialog.setAttribute(Qt::WA_DeleteOnClose);
    dialog.setObjectName("aboutBox");
    dialog.setWindowTitle(catalogue(engine::msg::Id::AboutCaption));
    auto* layout = new QGridLayout(&dialog);
    auto* icon = new QLabel(&dialog);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    auto* text = new QLabel(platform::cp932ToQString(versionText()), &dialog);
    text->setObjectName("versionText");
    layout->addWidget(text, 0, 1);
    layout->addWidget(new QLabel(catalogue(engine::msg::Id::AboutNotice), &dialog), 1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons, 2, 0, 1, 2, Qt::AlignRight);
    if (platform::nonInteractive())
        dialog.show();
    else
        dialog.exec();
}

const Version& version()
{
    static const Version v{engine::msg::text(engine::msg::Id::ApplicationName), SELVARIN_VERSION_MAJOR,
                           SELVARIN_VERSION_MINOR, SELVARIN_VERSION_PATCH, SELVARIN_VERSION_BUILD};
    return v;
}

std::string versionText()
{
    const Version& v = version();
    return engine::format(engine::msg::text(engine::msg::Id::AboutText), {v.productName, v.major, v.minor, v.patch, v.build});
}

}  // namespace app
