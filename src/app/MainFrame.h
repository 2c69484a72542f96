#pragma once

#include <QMainWindow>

namespace app {

// The main window. For now a plain frame with an empty view area; the exit request (Escape)
// and the About box are its own commands.
class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrame(QWidget* parent = nullptr);

    // Escape: leaves full screen, or asks whether to quit and posts a close request on Yes.
    void requestExit();
    void showAbout();

private:
    void createMenus();
};

}  // namespace app
