#pragma once

#include "ToolFrame.h"

namespace tools {

class CSciEdit;

// The workspace: a free editing area for script text. At most one exists; closing it only hides it.
class CWorkSpaceFrame : public CToolFrame {
    Q_OBJECT
public:
    // Made hidden; null when the editing component cannot be created.
    static CWorkSpaceFrame* create(QWidget* owner);
    ~CWorkSpaceFrame() override;

    // The one workspace, or null.
    static CWorkSpaceFrame* instance() noexcept;

    CSciEdit* view() const noexcept { return m_view; }

private:
    explicit CWorkSpaceFrame(QWidget* owner);

    CSciEdit* m_view;  // owned by the frame
};

}  // namespace tools
