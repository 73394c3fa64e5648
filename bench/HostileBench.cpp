// Peak memory of a search, an NFO retrieval and a statistics check against servers that send
// what no honest one would. The fake server runs in a child process, so the figure is the
// client's alone.
//   hostile_bench <case>   flood | long-names | nfo-rows | lastupdate-rows
// Prints "hostile_<case>_peak_mib=<n>" and what the client ended with.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "db/DupesConnection.h"
#include "platform/MessageBox.h"
#include "search/NfoWorker.h"
#include "search/SearchWorker.h"
#include "search/StatisticsCheck.h"
#include "tests/support/FakeDbServer.h"

namespace {

using Row = FakeDbServer::Row;

FakeDbServer::Reply Answer(const std::string& which, const std::string& query) {
  if (query.rfind("SELECT COUNT(*)", 0) == 0)
    return FakeDbServer::Rows({"c"}, {{which == "flood" ? "3" : "2000"}});
  if (which == "flood")
    return FakeDbServer::Generated({"i", "d", "s", "n"}, 200000, [](size_t i) {
      return Row{std::to_string(i), "2001-01-01", "01-01-01", "Flood.Release.Name-" + std::to_string(i)};
    });
  if (which == "long-names")
    return FakeDbServer::Generated({"i", "d", "s", "n"}, 2000, [](size_t i) {
      return Row{std::to_string(i), "2001-01-01", "01-01-01", std::string(64 << 10, 'L')};
    });
  if (query.rfind("SELECT * FROM NFOS", 0) == 0) return FakeDbServer::Rows({"d", "n"}, {{"d", "n"}});
  if (which == "nfo-rows")
    return FakeDbServer::Generated({"i"}, 3000, [](size_t) { return Row{std::string(16 << 10, 'N')}; });
  return FakeDbServer::Generated({"d", "t"}, 100000, [](size_t) {
    return Row{std::string(30, 'D'), std::string(30, 'T')};
  });
}

// Every port, keeping what a window would keep.
class Sink : public UiLink, public SearchFormPort, public NfoViewerPort, public StatisticsPort {
 public:
  SearchRequest ReadRequest() override {
    SearchRequest r;
    r.m_strMask = "Flood";
    r.m_nLimit = 20;
    r.m_bGetAll = all;
    return r;
  }
  void WriteLimitAndBounds(int32_t, const std::string&, const std::string&) override {}
  void DeleteAllRows() override { rows.clear(); }
  void InsertRow(int, const std::string& date, const std::string& dir) override {
    rows.emplace_back(date, dir);
  }
  int ShowMessage(const std::string& text, const std::string&, unsigned) override {
    messages.push_back(text);
    return IDYES;
  }
  bool IsLogging() const override { return true; }
  std::string LogFilePath() const override { return log; }
  void SetStatusText(const std::string&) override {}
  void SetButtonCaption(const std::string&) override {}
  void Repaint() override {}
  void ShowNfo(const std::string&, NfoText&& text) override { nfo = std::move(text.characters); }
  void SetStatus(const std::string&) override {}
  void SetField(int id, const std::string& text) override {
    fields.push_back(std::to_string(id) + ":" + text.substr(0, 40));
  }
  void CheckDone() override {}

  bool all = false;
  std::string log;
  std::vector<std::pair<std::string, std::string>> rows;
  std::vector<std::string> messages;
  std::vector<std::string> fields;
  std::u16string nfo;  // the characters shown
};

}  // namespace

int main(int argc, char** argv) {
  const std::string which = argc > 1 ? argv[1] : "flood";
  int toClient[2], toServer[2];
  if (::pipe(toClient) != 0 || ::pipe(toServer) != 0) return 1;
  const pid_t child = ::fork();
  if (child == 0) {
    FakeDbServer server([&](const std::string& query) { return Answer(which, query); });
    [[maybe_unused]] ssize_t n = ::write(toClient[1], server.address().c_str(), server.address().size() + 1);
    char done;
    n = ::read(toServer[0], &done, 1);  // until the client is through
    ::_exit(0);
  }
  char address[64] = {};
  if (::read(toClient[0], address, sizeof address) <= 0) return 1;

  InitDupesLibrary();
  auto sink = std::make_shared<Sink>();
  sink->log = "/tmp/hostile-bench-" + std::to_string(::getpid()) + ".log";
  sink->all = which == "long-names";
  DupesEndpoints ends;
  ends.m_strPrimary = ends.m_strBackup = address;
  ends.m_nBackupProbePort = 3306;
  // What every worker is given alike.
  auto common = [&](auto& c) {
    c.link = sink;
    c.endpoints = ends;
    c.loginId = c.password = "ZEBRANO";
  };
  if (which == "flood" || which == "long-names") {
    SearchWorkerContext c;
    common(c);
    c.form = sink.get();
    SearchThreadProc(c);
  } else if (which == "nfo-rows") {
    NfoWorkerContext c;
    common(c);
    c.form = sink.get();
    c.viewer = sink.get();
    c.dateText = "d";
    c.directoryText = "n";
    NfoThreadProc(c);
  } else {
    StatisticsCheckContext c;
    common(c);
    c.window = sink.get();
    RunStatisticsCheck(c);
  }
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  FILE* log = std::fopen(sink->log.c_str(), "rb");
  long logBytes = 0;
  if (log) {
    std::fseek(log, 0, SEEK_END);
    logBytes = std::ftell(log);
    std::fclose(log);
  }
  std::remove(sink->log.c_str());
  std::printf("%s: %zu rows listed, log %ld bytes, nfo %zu characters, last message: %s\n", which.c_str(),
              sink->rows.size(), logBytes, sink->nfo.size(),
              sink->messages.empty() ? "-" : sink->messages.back().substr(0, 60).c_str());
  for (const std::string& f : sink->fields) std::printf("  field %s\n", f.c_str());
  std::printf("hostile_%s_peak_mib=%.1f\n", which.c_str(), usage.ru_maxrss / 1024.0);
  [[maybe_unused]] ssize_t n = ::write(toServer[1], "x", 1);
  ::waitpid(child, nullptr, 0);
  return 0;
}
