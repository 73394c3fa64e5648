// Searches through the real form (offscreen, every message box answered at once) against a
// server holding a large DUPES table, beside the mariadb command-line client running the same
// three statements, for 20 to 2000 rows retrieved, charted in search.png. Also watches how long the UI thread
// is ever kept from its event loop during a search. Writes a CSV of the series to the output folder and
// prints name=value lines; the last line is search_overhead_ratio=<median ratio at 2000 rows>.
//   search_bench ADDRESS OUTPUT_DIR [ROUNDS]
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "bench/SearchChart.h"
#include "controls/HistoryCombo.h"
#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "platform/MessageBox.h"
#include "platform/SettingsFile.h"
#include "res/ResourceIds.h"
#include "search/KestrelView.h"
#include "search/ResultListCtrl.h"

namespace {

// A control of the form by its id (every control's object name is its id).
template <class W>
W* Control(const QWidget& form, int id) {
  return form.findChild<W*>(QString::number(id));
}

constexpr const char* kMask = "night";  // matches well over 2000 entries of the sample data

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The longest time the UI thread went without running its event loop, while it runs.
class StallWatch : public QObject {
 public:
  StallWatch() {
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, [this] {
      const double gap = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
      m_longest = std::max(m_longest, gap);
      m_clock.restart();
    });
  }
  void Start() {
    m_longest = 0;
    m_clock.restart();
    m_timer.start();
  }
  double Stop() {
    m_timer.stop();
    return m_longest;
  }

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  double m_longest = 0;
};

double ClientMs(const std::string& address, int limit) {
  const std::string statements = BuildDupesQuery(kMask, "", "", 0, 1, true) + "; " +
                                 BuildDupesQuery(kMask, "", "", limit, 1, false) +
                                 "; SELECT COUNT(*) FROM DUPES";
  const std::string command = "mariadb --no-defaults -h " + address +
                              " -u ZEBRANO -pZEBRANO dupesnukes -e \"" + statements + "\" >/dev/null";
  QElapsedTimer timer;
  timer.start();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "mariadb client failed\n");
    std::exit(1);
  }
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: search_bench ADDRESS OUTPUT_DIR [ROUNDS]\n");
    return 2;
  }
  const std::string address = argv[1];
  const std::string out = argv[2];
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 7;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  InitDupesLibrary();
  QApplication app(argc, argv);
  SettingsFile::Shared().SetPath(out + "/bench-settings/Harrow/Kestrel.reg");
  CreateSettingsKey();
  CloseSettingsKey();
  SetMessageBoxHandler([](void*, const std::string&, const std::string&, unsigned flags) {
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  });

  CKestrelView view(DupesEndpoints{address, address});
  view.resize(460, 350);
  view.OnInitialUpdate();
  view.show();
  QApplication::processEvents();
  StallWatch stalls;

  // One search through the form; its wall time in milliseconds (click to the end caption).
  auto search = [&](int limit) {
    Control<QComboBox>(view, IDC_MASK)->setEditText(kMask);
    Control<QLineEdit>(view, IDC_LIMIT)->setText(QString::number(limit));
    QElapsedTimer timer;
    timer.start();
    Control<QPushButton>(view, IDC_DUPE)->click();
    while (view.ButtonCaption() != "Dupe!") QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (Control<QTreeWidget>(view, IDC_RESULTS)->topLevelItemCount() != limit) {
      std::fprintf(stderr, "search of %d rows gave %d (%s)\n", limit,
                   Control<QTreeWidget>(view, IDC_RESULTS)->topLevelItemCount(),
                   view.StatusText().toUtf8().constData());
      std::exit(1);
    }
    return ms;
  };

  std::ofstream csv(out + "/search.csv");
  csv << "rows,kestrel_ms,mariadb_client_ms,ratio\n";
  double worstStall = 0;
  std::vector<SearchPoint> points;
  std::vector<double> ratiosAt2000;
  for (int limit : {20, 50, 100, 200, 500, 1000, 2000}) {
    std::vector<double> kestrel, client, ratios;
    for (int i = 0; i <= rounds; ++i) {  // round 0 warms the caches and is not counted
      stalls.Start();
      const double k = search(limit);
      worstStall = std::max(worstStall, stalls.Stop());
      const double c = ClientMs(address, limit);
      if (i == 0) continue;
      kestrel.push_back(k);
      client.push_back(c);
      ratios.push_back(k / c);
    }
    if (limit == 2000) ratiosAt2000 = ratios;
    std::printf("search_%d_rows: kestrel %.1f ms, mariadb client %.1f ms, ratio %.3f\n", limit,
                Median(kestrel), Median(client), Median(ratios));
    points.push_back({limit, Median(kestrel), Median(client)});
    csv << limit << "," << Median(kestrel) << "," << Median(client) << "," << Median(ratios) << "\n";
  }
  if (!WriteSearchChart(points, out + "/search.png")) std::fprintf(stderr, "could not write the chart\n");
  rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("ui_longest_block_during_search_ms=%.1f\n", worstStall);
  std::printf("search_process_peak_rss_mib=%.1f\n", usage.ru_maxrss / 1024.0);
  std::printf("search_overhead_ratio=%.3f\n", Median(ratiosAt2000));
  return 0;
}
