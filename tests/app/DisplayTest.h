#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>
#include <future>
#include <string>
#include <thread>

#include "tests/support/RealDisplay.h"

namespace harbrook::testing {

// The display the test program started; null or unavailable: the test skips.
RealDisplay* TheRealDisplay();

// Keeps the event loop going until `done` says so or `ms` have passed.
inline bool SpinUntil(const std::function<bool()>& done, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Runs a display command (xdotool, wmctrl) on a thread of its own while the event loop
// goes on, so that a command that waits for the program can be answered.
inline std::string RunWhileSpinning(const std::string& command) {
    auto result = std::async(std::launch::async, [command] { return RunOnDisplay(command); });
    SpinUntil([&] { return result.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }, 30000);
    return result.get();
}

// The X window id of a top-level Qt window, as xdotool and wmctrl take it.
inline std::string WindowIdOf(const QWidget& window) {
    return std::to_string(static_cast<unsigned long>(window.winId()));
}

// Why a real-display test cannot run here; empty when it can.
inline std::string RealDisplayMissing() {
    if (TheRealDisplay() == nullptr) {
        return "no real display: not started";
    }
    return TheRealDisplay()->unavailableReason().empty() ? std::string()
                                                          : "no real display: " + TheRealDisplay()->unavailableReason();
}

// Clicks (once, or a real double click) through the X server at a point of a widget.
inline void ClickThroughX(const QWidget& widget, QPoint at, bool twice = false) {
    const QWidget& window = *widget.window();
    const QPoint inWindow = widget.mapTo(&window, at);
    RunWhileSpinning("xdotool mousemove --window " + WindowIdOf(window) + " " + std::to_string(inWindow.x()) + " " +
                     std::to_string(inWindow.y()) + (twice ? " click --repeat 2 --delay 80 1" : " click 1"));
}

// What the modal box on screen showed, seen from inside the program while it was up:
// its text and its frame in screen co-ordinates.
struct SeenBox {
    QString title;
    QString text;
    QRect frame;
    QString defaultButton;
};

// Watches for modal message boxes (every 50 ms, also inside their own event loops).
class BoxWatcher {
public:
    BoxWatcher() {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box != nullptr) {
                SeenBox seen{box->windowTitle(), box->text(), box->frameGeometry(),
                             box->defaultButton() != nullptr ? box->defaultButton()->text().remove('&') : QString()};
                if (boxes.empty() || boxes.back().text != seen.text) {
                    boxes.push_back(seen);
                }
                this->seen = true;
            }
        });
        m_timer.start();
    }
    std::vector<SeenBox> boxes;
    // Set once a box was seen: a BoxAnswerer given it answers only after that, so a busy
    // machine cannot close a box before the watcher looked at it.
    std::atomic<bool> seen{false};

private:
    QTimer m_timer;
};

// A thread that waits for a window titled exactly `title` to be the active one (so the
// box really has the focus), notes its geometry as the X server has it, and sends it
// `keys` through the X server, as a person's keyboard would.
class BoxAnswerer {
public:
    // With `ready`, nothing happens before it is set (the box was looked at, or it is
    // known to be up where another window has the same title).
    BoxAnswerer(std::string title, std::string keys, const std::atomic<bool>* ready = nullptr)
        : m_ready(ready), m_thread([this, title = std::move(title), keys = std::move(keys)] { run(title, keys); }) {}
    ~BoxAnswerer() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    // Waits (spinning the event loop) until the box was answered; false when it never came.
    bool finish() {
        SpinUntil([this] { return m_done.load(); }, 30000);
        m_thread.join();
        return m_answered;
    }
    // "X=.. Y=.. WIDTH=.. HEIGHT=.." of the box as xdotool saw it.
    int x = 0, y = 0, width = 0, height = 0;

private:
    void run(const std::string& title, const std::string& keys) {
        for (int waited = 0; waited < 20000 && !m_answered; waited += 100) {
            if (m_ready != nullptr && !m_ready->load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            const std::string active = RunOnDisplay("xdotool getactivewindow getwindowname");
            if (active == title + "\n") {
                const std::string shell = RunOnDisplay("xdotool getactivewindow getwindowgeometry --shell");
                auto value = [&](const std::string& key) {
                    const std::size_t at = shell.find(key + "=");
                    return at == std::string::npos ? -1 : std::stoi(shell.substr(at + key.size() + 1));
                };
                x = value("X");
                y = value("Y");
                width = value("WIDTH");
                height = value("HEIGHT");
                RunOnDisplay("xdotool key --clearmodifiers " + keys);
                m_answered = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        m_done = true;
    }

    const std::atomic<bool>* m_ready;
    bool m_answered = false;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Clicks, through the X server, the named children of the modal box titled `title`
// once it is the active window, one after the other, as a person's mouse would. The
// GUI thread (a timer, also inside the box's own event loop) tells where they are on
// the screen; a thread of its own moves the pointer and clicks.
class BoxClicker {
public:
    BoxClicker(QString title, std::vector<QString> names) : m_title(std::move(title)), m_names(std::move(names)) {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { look(); });
        m_timer.start();
        m_thread = std::thread([this] { run(); });
    }
    ~BoxClicker() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    // Waits (spinning the event loop) until every child was clicked; false when the box
    // never came or lacked one.
    bool finish() {
        SpinUntil([this] { return m_done.load(); }, 30000);
        m_stop = true;
        m_thread.join();
        return m_clicked;
    }

private:
    void look() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box->windowTitle() != m_title || QApplication::activeWindow() != box) {
            return;
        }
        std::lock_guard lock(m_lock);
        m_points.clear();
        for (const QString& name : m_names) {
            const auto* child = box->findChild<QWidget*>(name);
            if (child == nullptr || !child->isVisible()) {
                m_points.clear();
                return;
            }
            m_points.push_back(child->mapToGlobal(child->rect().center()));
        }
    }
    void run() {
        for (int waited = 0; waited < 20000 && !m_stop; waited += 50) {
            std::vector<QPoint> points;
            {
                std::lock_guard lock(m_lock);
                points = m_points;
            }
            if (points.size() == m_names.size() &&
                RunOnDisplay("xdotool getactivewindow getwindowname") == m_title.toStdString() + "\n") {
                for (const QPoint& point : points) {
                    RunOnDisplay("xdotool mousemove --sync " + std::to_string(point.x()) + " " +
                                 std::to_string(point.y()) + " click 1");
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                m_clicked = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m_done = true;
    }

    const QString m_title;
    const std::vector<QString> m_names;
    QTimer m_timer;
    std::mutex m_lock;
    std::vector<QPoint> m_points;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    bool m_clicked = false;
    std::thread m_thread;
};

}  // namespace harbrook::testing
