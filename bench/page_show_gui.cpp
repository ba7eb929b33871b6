// The paging click of page_show_bench in the real window (Qt, any platform; the bench scripts use
// offscreen): from the click until the list has painted the page's rows, against one HTTP fetch and
// one parse of the same page. Runs alternate which of the two goes first; medians are compared.
// Usage: page_show_gui PROGRAM_DIR HTTP_URL CA_FILE [RUNS]   (robot 1 should have a full page)
#include <QAbstractItemModel>
#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ui/main_window.hpp"
#include "page_figures.hpp"
#include "store/catalogue.hpp"
#include "store/startup.hpp"
#include "window_setup.hpp"

namespace {

using quillora::bench::Clock;

// Tells when the list's rows have been painted: armed when rows arrive, fired by the next paint.
class RowsPainted : public QObject {
 public:
  explicit RowsPainted(QTreeWidget* list) : list_(list) {
    list->viewport()->installEventFilter(this);
    connect(list->model(), &QAbstractItemModel::rowsInserted, this, [this] { arrived_ = true; });
  }
  void reset() { arrived_ = painted_ = false; }
  bool painted() const { return painted_; }
  bool eventFilter(QObject* watched, QEvent* event) override {
    // The filter sees the paint before it happens; the wait below looks again only after the event
    // has been handled, so the rows are on the screen by then. Only a paint over the first row
    // counts: the view also paints slivers of its frame while its scroll bar comes and goes.
    if (event->type() == QEvent::Paint && arrived_ && list_->topLevelItemCount() > 0 &&
        static_cast<QPaintEvent*>(event)->rect().intersects(list_->visualItemRect(list_->topLevelItem(0))))
      painted_ = true;
    return QObject::eventFilter(watched, event);
  }

 private:
  QTreeWidget* list_;
  bool arrived_ = false, painted_ = false;
};

template <typename Done>
bool wait_until(Done done) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s PROGRAM_DIR HTTP_URL CA_FILE [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 31;
  quillora::bench::WindowSetup setup(argv);
  const std::string url = setup.endpoints.http("/Api/Plugin/lst/robot/1/p/1");
  quillora::ui::MainWindow window(setup.state, setup.endpoints);
  window.show();
  auto* list = window.findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
  if (list == nullptr || !quillora::store::on_window_created(window.context())) return 1;
  RowsPainted rows_painted(list);
  if (!wait_until([&] { return list->topLevelItemCount() > 0; })) return 1;

  int rows = 0;
  std::size_t page_bytes = 0;
  auto click = [&] {
    rows_painted.reset();
    const auto start = Clock::now();
    quillora::store::start_page_load(window.context());
    const bool shown = wait_until([&] { return rows_painted.painted(); });
    const auto end = Clock::now();
    rows = shown ? list->topLevelItemCount() : 0;
    return quillora::bench::micros(end - start);
  };
  auto bare = [&] {
    const auto fetched = quillora::bench::fetch_and_parse(url, setup.endpoints.ca_file);
    page_bytes = fetched.bytes;
    if (fetched.count <= 0) std::fprintf(stderr, "the page did not parse\n");
    return fetched.micros;
  };

  for (int i = 0; i < 3; ++i) click(), bare();  // warm-up: connections, fonts, glyph caches
  std::vector<double> shown, fetched;
  for (int i = 0; i < runs; ++i) {
    if (i % 2 == 0) {
      shown.push_back(click());
      fetched.push_back(bare());
    } else {
      fetched.push_back(bare());
      shown.push_back(click());
    }
  }
  const double shown_us = quillora::bench::median(shown), fetched_us = quillora::bench::median(fetched);
  std::printf("page                 %d rows, %zu bytes\n", rows, page_bytes);
  std::printf("click to rows painted %.0f us (median of %d)\n", shown_us, runs);
  std::printf("bare fetch + parse   %.0f us (median of %d)\n", fetched_us, runs);
  std::printf("ratio                %.2f\n", shown_us / fetched_us);
  return rows > 0 ? 0 : 1;
}
