// A full search, headless (every message answered at once), beside the mariadb command-line
// client running the same three statements, on a 1,000,000-row DUPES table. Prints the medians
// and, last, search_overhead_ratio=<median of the per-round ratios>.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "platform/MessageBox.h"
#include "search/SearchWorker.h"
#include "tests/support/TestDbServer.h"

namespace {

class HeadlessPort : public SearchFormPort {
 public:
  explicit HeadlessPort(SearchRequest request) : m_request(std::move(request)) {}
  void SetStatus(const std::string& text) override { m_status = text; }
  void Repaint() override {}
  void SetCaption(const std::string&) override {}
  SearchRequest ReadRequest(bool) override { return m_request; }
  void WriteLimitAndBounds(int32_t limit, const std::string& start, const std::string& end) override {
    m_request.m_nLimit = limit;
    m_request.m_strStartBound = start;
    m_request.m_strEndBound = end;
  }
  void DeleteAllRows() override { m_rows.clear(); }
  void InsertRow(int, const std::string& date, const std::string& dir) override {
    m_rows.push_back(date + " " + dir);
  }
  int ShowMessage(const std::string&, const std::string&, unsigned flags) override {
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }
  bool IsLogging() override { return false; }
  std::string LogFilePath() override { return ""; }

  std::string m_status;
  std::vector<std::string> m_rows;

 private:
  SearchRequest m_request;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  InitDupesLibrary();
  std::printf("starting a server and loading 1,000,000 DUPES rows...\n");
  std::fflush(stdout);
  TestDbServer server;
  const auto loadStart = std::chrono::steady_clock::now();
  server.AddGeneratedDupes(1000000, "Bench");
  std::printf("loaded in %.1f s\n", Seconds(loadStart));

  SearchRequest request;
  request.m_strMask = "Bench.12";
  request.m_bGetAll = true;
  request.m_nOrder = 1;
  // The statements the search sends: the count, the rows (capped to 2000), the table total.
  const std::string statements = BuildDupesQuery(request.m_strMask, "", "", 0, 1, true) + "; " +
                                 BuildDupesQuery(request.m_strMask, "", "", 2000, 1, false) +
                                 "; SELECT COUNT(*) FROM DUPES";
  const std::string cli = "mariadb --no-defaults -h " + server.address() +
                          " -u ZEBRANO -pZEBRANO dupesnukes -e \"" + statements + "\" >/dev/null";

  SearchWorkerContext context;
  context.endpoints.m_strPrimary = server.address();
  context.endpoints.m_strBackup = server.address();
  context.loginId = context.password = "ZEBRANO";

  std::vector<double> searchTimes, cliTimes, ratios;
  for (int i = 0; i <= rounds; ++i) {  // round 0 warms the caches and is not counted
    auto port = std::make_shared<HeadlessPort>(request);
    context.port = port;
    context.run = WorkerRun::Create();
    auto start = std::chrono::steady_clock::now();
    SearchThreadProc(context);
    const double search = Seconds(start);
    if (port->m_rows.size() != 2000) {
      std::fprintf(stderr, "search returned %zu rows (%s)\n", port->m_rows.size(), port->m_status.c_str());
      return 1;
    }
    start = std::chrono::steady_clock::now();
    if (std::system(cli.c_str()) != 0) {
      std::fprintf(stderr, "mariadb client failed\n");
      return 1;
    }
    const double client = Seconds(start);
    if (i == 0) continue;
    searchTimes.push_back(search);
    cliTimes.push_back(client);
    ratios.push_back(search / client);
    std::printf("round %d: search %.1f ms, mariadb client %.1f ms\n", i, search * 1000, client * 1000);
  }
  std::printf("median search (probe to summary): %.1f ms\n", Median(searchTimes) * 1000);
  std::printf("median mariadb client, same three statements: %.1f ms\n", Median(cliTimes) * 1000);
  std::printf("search_overhead_ratio=%.3f\n", Median(ratios));
  return 0;
}
