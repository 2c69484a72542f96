#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

namespace guitest {

// Acts on modal dialogs as a person would, one step per dialog shown, while the code under test
// waits in the dialog's event loop. Each step waits for the top modal window to be a visible
// widget of its type; a step that never finds one, or a dialog left open after the last step,
// fails the test and is closed, so a faulty dialog cannot hang the run.
class DialogDriver {
public:
    DialogDriver()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    }
    ~DialogDriver() { EXPECT_TRUE(m_steps.empty()) << m_steps.size() << " dialog steps never ran"; }

    // The step for the next dialog of type W (and, when given, of that object name).
    template <class W>
    DialogDriver& then(std::function<void(W&)> act, const QString& objectName = {})
    {
        Step step;
        step.matches = [objectName](QWidget* top) {
            W* w = qobject_cast<W*>(top);
            return w && (objectName.isEmpty() || w->objectName() == objectName);
        };
        step.act = [act](QWidget* top) { act(*qobject_cast<W*>(top)); };
        m_steps.push_back(std::move(step));
        if (!m_timer.isActive()) {
            m_clock.start();
            m_timer.start();
        }
        return *this;
    }

    int stepsLeft() const { return static_cast<int>(m_steps.size()); }

private:
    void poll()
    {
        QWidget* top = QApplication::activeModalWidget();
        if (m_steps.empty()) {
            if (top && top->isVisible() && m_clock.elapsed() > kTimeoutMs) {
                ADD_FAILURE() << "a dialog stayed open after the last step: " << describe(top);
                top->close();
                QMetaObject::invokeMethod(top, "reject");
            }
            if (!top)
                m_timer.stop();
            return;
        }
        if (top && top->isVisible() && m_steps.front().matches(top)) {
            // Acted on outside this timer's handler: acting may open a nested dialog, whose
            // event loop must be able to run the next step.
            QPointer<QWidget> target(top);
            std::function<void(QWidget*)> act = std::move(m_steps.front().act);
            m_steps.pop_front();
            m_clock.start();
            QTimer::singleShot(0, [target, act] {
                if (target)
                    act(target.data());
            });
            return;
        }
        if (m_clock.elapsed() > kTimeoutMs) {
            ADD_FAILURE() << "no dialog of the expected type appeared"
                          << (top ? " (top: " + describe(top) + ")" : std::string());
            m_steps.clear();
            if (top) {
                top->close();
                QMetaObject::invokeMethod(top, "reject");
            }
        }
    }

    static std::string describe(QWidget* w)
    {
        std::string text = w->metaObject()->className();
        if (auto* box = qobject_cast<QMessageBox*>(w))
            text += " \"" + box->text().toStdString() + "\"";
        return text;
    }

    static constexpr int kTimeoutMs = 5000;
    struct Step {
        std::function<bool(QWidget*)> matches;
        std::function<void(QWidget*)> act;
    };
    std::deque<Step> m_steps;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

}  // namespace guitest
