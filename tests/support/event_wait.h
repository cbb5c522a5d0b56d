#pragma once
// Waiting for asynchronous work (a web page loading, a script answering) in tests that run
// an event loop.

#include <algorithm>
#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace trevalo::test {

// Runs `start(done)` and then the event loop until `done` is called or 60 seconds pass;
// false on the timeout.
template <typename Start>
bool Wait(Start&& start) {
  QEventLoop loop;
  bool finished = false;
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  start([&] {
    finished = true;
    loop.quit();
  });
  if (!finished) {
    loop.exec();
  }
  return finished;
}

// Runs the event loop until `holds()` or `seconds` pass; what `holds()` says last.
template <typename Condition>
bool WaitFor(Condition&& holds, int seconds = 5) {
  // What held once is the answer: asking again could meet a later state.
  bool held = holds();
  for (int attempt = 0; attempt < seconds * 10 && !held; ++attempt) {
    Wait([](auto done) { QTimer::singleShot(100, done); });
    held = holds();
  }
  return held;
}

// Calls `answer` with the first modal window of type W that comes up (looked for every
// 10 ms while the event loop runs), for a command that shows one after a progress window
// or another modal window.
template <typename W, typename Answer>
void AnswerWhenShown(QObject* owner, Answer answer) {
  auto* poll = new QTimer(owner);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(window);
    }
  });
  poll->start(10);
}

// Runs `action` on the next modal window that comes up (looked for every 10 ms while an
// event loop runs): not the one active when it is called, nor a progress window, which
// work that goes on in the background shows before the window the test waits for.
inline void OnNextModal(std::function<void(QWidget*)> action) {
  QPointer<QWidget> before = QApplication::activeModalWidget();
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, before, action = std::move(action)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == before ||
        modal->objectName() == QLatin1String("progressDialog")) {
      return;
    }
    poll->stop();
    poll->deleteLater();
    action(modal);
  });
  poll->start(10);
}

// Answers every message box that comes up while it lives (looked for every 10 ms while an
// event loop runs) with OK, or else its escape button, and keeps the texts in order.
class MessageBoxes {
 public:
  MessageBoxes() {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts_ << box->text();
        QAbstractButton* button = box->button(QMessageBox::Ok);
        (button != nullptr ? button : box->escapeButton())->click();
      }
    });
    poll_.start(10);
  }
  const QStringList& texts() const { return texts_; }

 private:
  QTimer poll_;
  QStringList texts_;
};

// How long the window's thread went without answering during a command: a timer of that
// thread ticks every 10 ms from Start() to Stop(), and the longest time between two ticks
// (or from the last tick to Stop()) is the longest the window was deaf.
class AnswerGaps {
 public:
  AnswerGaps() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
  }
  void Start() {
    clock_.start();
    last_ = longest_ = took_ = 0;
    ticks_ = 0;
    running_ = true;
    timer_.start(10);
  }
  // Ends the watch (a second call changes nothing); the time since Start().
  qint64 Stop() {
    if (running_) {
      Tick();
      running_ = false;
      timer_.stop();
      took_ = clock_.elapsed();
    }
    return took_;
  }
  qint64 longest() const { return longest_; }
  int ticks() const { return ticks_; }

 private:
  void Tick() {
    if (!running_) {
      return;
    }
    const qint64 now = clock_.elapsed();
    longest_ = std::max(longest_, now - last_);
    last_ = now;
    ++ticks_;
  }

  QTimer timer_;
  QElapsedTimer clock_;
  bool running_ = false;
  qint64 last_ = 0;
  qint64 longest_ = 0;
  qint64 took_ = 0;
  int ticks_ = 0;
};

}  // namespace trevalo::test
