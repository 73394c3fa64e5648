// Results list figures: filling 2000 rows one by one as a search does, sorting by each column,
// copying all. Prints name=milliseconds (median of several runs).
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "search/ResultListCtrl.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
double TimeMs(F&& f) {
  QElapsedTimer timer;
  timer.start();
  f();
  QApplication::processEvents();  // the repaint that follows is part of the cost
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  CResultListCtrl list;
  list.resize(425, 170);
  list.SetHighlightType(2);
  list.show();
  QApplication::processEvents();

  std::vector<double> fill, sortDate, sortDir, copy;
  for (int run = 0; run < 9; ++run) {
    list.clear();
    QApplication::processEvents();
    fill.push_back(TimeMs([&] {
      for (int i = 0; i < 2000; ++i) {
        const int day = 1 + (i * 7919) % 28, month = 1 + (i * 31) % 12, year = 90 + (i * 13) % 20;
        auto* item = new QTreeWidgetItem(&list);
        item->setText(0, QString::asprintf("%02d%02d%02d", month, day, year % 100));
        item->setText(
            1, QString::asprintf("%s.Release.Name.%05d-GRP", (i % 3) ? "Some" : "some", (i * 4099) % 20000));
      }
    }));
    sortDate.push_back(TimeMs([&] { list.SortByColumn(0); }));
    sortDir.push_back(TimeMs([&] { list.SortByColumn(1); }));
    copy.push_back(TimeMs([&] { list.CopyAll(); }));
  }
  std::printf("list_fill_2000_ms=%.2f\n", Median(fill));
  std::printf("list_sort_date_ms=%.2f\n", Median(sortDate));
  std::printf("list_sort_directory_ms=%.2f\n", Median(sortDir));
  std::printf("list_copy_all_ms=%.2f\n", Median(copy));
  return 0;
}
