#include "Dialogs.h"

#include "Environment.h"
#include "TextCodec.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <cmath>

namespace platform {
namespace {

// The message, OK, Cancel and two buttons whose clicks the caller decides about. Measures are
// kept in dialog units of the dialog's font (a quarter of the average character width, an
// eighth of the line height), so the layout grows with the font.
class OptionalDialog final : public QDialog {
public:
    OptionalDialog(const OptionalDialogTexts& texts, const std::function<bool(int)>& onButton, QWidget* parent)
        : QDialog(parent), m_onButton(onButton)
    {
        setObjectName(QStringLiteral("optionalDialog"));
        setWindowTitle(cp932ToQString(texts.caption));
        const QFontMetrics metrics(font());
        const double unitX = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4.0;
        const double unitY = metrics.height() / 8.0;
        const auto dx = [unitX](int units) { return static_cast<int>(std::lround(units * unitX)); };
        const auto dy = [unitY](int units) { return static_cast<int>(std::lround(units * unitY)); };

        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(dx(10), dy(9), dx(7), dy(7));
        auto* message = new QLabel(cp932ToQString(texts.message), this);
        message->setObjectName(QStringLiteral("message"));
        message->setWordWrap(true);
        message->setTextFormat(Qt::PlainText);
        message->setMinimumSize(dx(244), dy(19));
        message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        layout->addWidget(message, 1);
        layout->addSpacing(dy(10));

        auto* row = new QHBoxLayout;
        row->setSpacing(dx(3));
        const auto button = [&](const QString& text, const char* name, int width) {
            auto* b = new QPushButton(text, this);
            b->setObjectName(QString::fromLatin1(name));
            b->setMinimumSize(dx(width), dy(14));
            b->setAutoDefault(false);
            row->addWidget(b);
            return b;
        };
        QPushButton* ok = button(QStringLiteral("OK"), "ok", 53);
        QPushButton* cancel = button(cp932ToQString(texts.cancel), "cancel", 53);
        QPushButton* first = button(cp932ToQString(texts.first), "first", 65);
        QPushButton* second = button(cp932ToQString(texts.second), "second", 65);
        row->addStretch();
        layout->addLayout(row);
        ok->setDefault(true);
        ok->setFocus();

        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        connect(first, &QPushButton::clicked, this, [this] { extraButton(1); });
        connect(second, &QPushButton::clicked, this, [this] { extraButton(2); });
        setMinimumWidth(dx(267));
    }

    bool closedByButton() const { return m_closedByButton; }

    // Nothing closes the dialog while a button's handler runs: it may be showing a dialog of
    // its own, and the dialog must still be there when it returns.
    void done(int result) override
    {
        if (!m_busy)
            QDialog::done(result);
    }

private:
    void extraButton(int which)
    {
        if (m_busy)
            return;
        m_busy = true;
        const QPointer<OptionalDialog> self(this);
        const bool close = m_onButton(which);
        if (!self)
            return;
        m_busy = false;
        if (close) {
            m_closedByButton = true;
            QDialog::done(QDialog::Accepted);
        }
    }

    const std::function<bool(int)>& m_onButton;
    bool m_busy = false;
    bool m_closedByButton = false;
};

}  // namespace

OptionalResult optionalDialog(const OptionalDialogTexts& texts, const std::function<bool(int button)>& onButton)
{
    if (nonInteractive() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return OptionalResult::Cancel;
    // Heap-made and watched: the owner may go while the dialog's event loop runs.
    QPointer<OptionalDialog> dialog = new OptionalDialog(texts, onButton, mainWindow());
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return OptionalResult::Cancel;
    const bool byButton = dialog->closedByButton();
    delete dialog.data();
    if (byButton)
        return OptionalResult::ClosedByButton;
    return accepted ? OptionalResult::Ok : OptionalResult::Cancel;
}

}  // namespace platform
