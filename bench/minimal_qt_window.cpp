// The start-up baseline: the least a Qt Widgets program does to show a window, linked with Qt alone
// (none of the project's libraries, so that none of their loading counts here). Shows an empty
// 800x600 QWidget and prints "shown" on standard output once its first paint has been handled.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      QTimer::singleShot(0, [] {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
        QCoreApplication::exit(0);
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.resize(800, 600);
  FirstPaint first_paint;
  window.installEventFilter(&first_paint);
  window.show();
  return QApplication::exec();
}
