// The local copy on generated rows, without a server: first build, catch-up of 10,000 rows,
// searches (median of several), size on disk and the most anonymous (heap) memory seen.
//   index_bench [rows] [folder] [searches]
//                                   (default 1000000 rows, a folder under /tmp; "searches" only
//                                   searches the copy a run before left there)
//   index_bench --server ADDRESS [folder]
//                                   the first build from a real server (scripts/dbserver), guest
//                                   login, names folded to ASCII lower case
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db/ConnectionFeedback.h"
#include "db/DupesConnection.h"
#include "index/LocalIndex.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

long RssAnonKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("RssAnon:", 0) == 0) return std::atol(line.c_str() + 8);
  return 0;
}

// Names like the table's: words, a year, a group; about 30 bytes.
class Rows {
 public:
  explicit Rows(long long count) : m_count(count) {
    const char* words[] = {"Some",  "Release", "Tools", "Linux",  "Game",   "Music",  "Album", "Live",
                           "Final", "Edition", "Multi", "Proper", "Repack", "Retail", "Plus",  "Deluxe"};
    std::mt19937 random(7);
    for (int i = 0; i < 4096; ++i) {
      std::string word = words[random() % 16];
      word += std::to_string(random() % 1000);
      m_words.push_back(word);
    }
    for (int i = 0; i < 512; ++i) {
      std::string group(1, 'G');
      group += std::to_string(random() % 100000);
      m_groups.push_back(group);
    }
  }
  // A word of the names, folded: word 42 is in about one name in 2048.
  std::string Word(size_t i) const {
    std::string word = m_words[i];
    for (char& c : word)
      if (c >= 'A' && c <= 'Z') c += 32;
    return word;
  }
  LocalIndex::Result Fill(LocalIndex& copy, long long upTo, std::string& why) {
    auto fetch = [&](long long above, int batch, const std::function<bool(const SourceRow&)>& each,
                     std::string&) {
      std::string id, date, ds, dir;
      for (long long n = above + 1; n <= std::min(upTo, above + batch); ++n) {
        const uint64_t h = static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ull;
        const long long day = n * 11000 / (m_count + 10000);  // dates rise with ids, 30 years
        const int year = 1996 + static_cast<int>(day / 366),
                  month = 1 + static_cast<int>(day % 366 / 31 % 12), dom = 1 + static_cast<int>(day % 28);
        char d[32], s[32];
        std::snprintf(d, sizeof d, "%04d-%02d-%02d", year, month, dom);
        std::snprintf(s, sizeof s, "%02d%02d%02d", month, dom, year % 100);
        id = std::to_string(n);
        dir = m_words[h % 4096] + "." + m_words[(h >> 12) % 4096] + "." +
              std::to_string(1990 + (h >> 24) % 35) + "-" + m_groups[(h >> 32) % 512];
        if (!each({id, std::string_view(d), std::string_view(s), dir})) break;
      }
      return true;
    };
    auto fold = [](std::string_view text, std::string& folded) {
      folded.assign(text);
      for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c += 32;
      return true;
    };
    return copy.CatchUp(fetch, "bench-ascii", fold, why);
  }

 private:
  long long m_count;
  std::vector<std::string> m_words, m_groups;
};

LocalMatcher Words(std::vector<std::string> words) {
  LocalMatcher matcher;
  matcher.matches = [words](std::string_view dir, std::string_view ds) {
    for (const std::string& w : words)
      if (dir.find(w) == std::string_view::npos && ds != w) return false;
    return true;
  };
  std::vector<std::string> required;
  for (const std::string& w : words)
    if (w.find_first_not_of("0123456789") != std::string::npos) required.push_back(w);
  if (!required.empty()) matcher.requiredTexts.push_back(required);
  return matcher;
}

class Quiet : public ConnectionFeedback {
 public:
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string& text, const std::string&, unsigned) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return 0;
  }
};

int FromServer(const std::string& address, const std::string& folder) {
  InitDupesLibrary();
  DupesConnection connection({address, address}, "ZEBRANO", "ZEBRANO");
  Quiet quiet;
  if (!connection.Open(quiet)) return 1;
  ::mkdir(folder.c_str(), 0700);
  const std::string path = folder + "/server.sqlite";
  for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
  std::string why;
  auto copy = LocalIndex::Open(path, address, why);
  auto fold = [](std::string_view text, std::string& folded) {
    folded.assign(text);
    for (char& c : folded)
      if (c >= 'A' && c <= 'Z') c += 32;
    return true;
  };
  const auto start = Clock::now();
  if (!copy || copy->CatchUp(connection, "bench-ascii", fold, why) != LocalIndex::Result::Done) {
    std::fprintf(stderr, "build: %s\n", why.c_str());
    return 1;
  }
  std::printf("server_build_rows=%lld server_build_ms=%.0f peak_anon_mb=%.1f\n", copy->Rows(), Ms(start),
              RssAnonKb() / 1024.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--server")
    return FromServer(argv[2], argc > 3 ? argv[3] : "/tmp/kestrel-index-bench");
  const long long count = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const std::string folder = argc > 2 ? argv[2] : "/tmp/kestrel-index-bench";
  ::mkdir(folder.c_str(), 0700);
  const std::string path = folder + "/bench.sqlite";
  const bool searchesOnly = argc > 3 && std::string(argv[3]) == "searches";
  if (!searchesOnly)
    for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());

  std::atomic<bool> done{false};
  std::atomic<long> peakAnon{0};
  std::thread sampler([&] {
    while (!done) {
      peakAnon = std::max(peakAnon.load(), RssAnonKb());
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  std::string why;
  auto copy = LocalIndex::Open(path, "bench", why);
  if (!copy) {
    std::fprintf(stderr, "open: %s\n", why.c_str());
    return 1;
  }
  Rows rows(count);
  auto start = Clock::now();
  if (!searchesOnly) {
    if (rows.Fill(*copy, count, why) != LocalIndex::Result::Done) {
      std::fprintf(stderr, "build: %s\n", why.c_str());
      return 1;
    }
    std::printf("build_rows=%lld build_ms=%.0f\n", count, Ms(start));
    start = Clock::now();
    if (rows.Fill(*copy, count + 10000, why) != LocalIndex::Result::Done) return 1;
    std::printf("catch_up_10000_ms=%.1f\n", Ms(start));
  }
  copy.reset();
  copy = LocalIndex::Open(path, "bench", why);

  struct Case {
    const char* name;
    std::vector<std::string> words;
    std::string from, to;
    bool countOnly;
  };
  const std::vector<Case> cases = {
      {"rare_word", {rows.Word(42)}, "", "", false},
      {"two_words", {"tools7", "g1"}, "", "", false},
      {"common_word", {"linux"}, "", "", false},
      {"every_row", {"-g"}, "", "", false},
      {"date_string", {"010203"}, "", "", false},
      {"word_and_range", {"game"}, "2001-01/01", "2003-12/31", false},
      {"rare_word_count_only", {rows.Word(42)}, "", "", true},
      {"absent_word", {"nowhere"}, "", "", false},
  };
  for (const Case& c : cases) {
    std::vector<double> times;
    LocalAnswer answer;
    for (int round = 0; round < 7; ++round) {
      LocalQuery query;
      query.matcher = Words(c.words);
      query.startBound = c.from;
      query.endBound = c.to;
      query.limit = 2000;
      query.countOnly = c.countOnly;
      start = Clock::now();
      if (copy->Search(query, answer, why) != LocalIndex::Result::Done) {
        std::fprintf(stderr, "search: %s\n", why.c_str());
        return 1;
      }
      times.push_back(Ms(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("search_%s_median_ms=%.1f count=%lld rows=%zu\n", c.name, times[times.size() / 2],
                answer.count, answer.rows.size());
  }
  struct stat file {};
  ::stat(path.c_str(), &file);
  done = true;
  sampler.join();
  std::printf("file_mb=%.0f peak_anon_mb=%.1f\n", file.st_size / 1048576.0, peakAnon / 1024.0);
  return 0;
}
