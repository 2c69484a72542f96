#pragma once

#include <QByteArray>
#include <QWidget>

class QsciScintilla;

namespace tools {

// The view of the console and the workspace: an editing component (QScintilla) covering the
// whole client area, set up for Lua text. Made in two steps, because the setup is virtual and
// may fail: construct, then createComponent().
class CSciEdit : public QWidget {
    Q_OBJECT
public:
    // The component's control id, also its object name "Source".
    static constexpr int kComponentId = 100;

    explicit CSciEdit(QWidget* parent = nullptr);
    ~CSciEdit() override;

    // Creates the component and runs the editor setup; false (and no component) when either
    // fails.
    bool createComponent();
    // Null until createComponent() succeeded.
    QsciScintilla* component() const noexcept { return m_component; }

    // One message to the component (its direct function); 0 without a component.
    long send(unsigned int message, unsigned long wParam = 0, long lParam = 0) const;
    long send(unsigned int message, unsigned long wParam, const char* lParam) const;

    // Appends UTF-8 text at the end without touching the user's undo history.
    void appendUtf8(const QByteArray& text);
    // Scrolls down by the line count, so that the end is visible.
    void scrollToEnd();

    // Makes every later createComponent() fail, as a missing or broken component would.
    static void setComponentFailsForTesting(bool fails) noexcept;

protected:
    // The console's setup; true when the component took it.
    virtual bool setupEditor();
    // The setup steps, with or without the keyword sets.
    bool setup(bool keywords);

    void resizeEvent(QResizeEvent* event) override;

private:
    QsciScintilla* m_component = nullptr;  // owned by this widget
};

// The workspace's view: a free editing area for script text, with the console's setup except
// its keyword sets.
class CWorkspaceEdit : public CSciEdit {
    Q_OBJECT
public:
    using CSciEdit::CSciEdit;

protected:
    bool setupEditor() override;
};

// The four keyword sets of the Lua lexer, as the console's setup sends them.
const char* consoleKeywords(int set);

}  // namespace tools
