#include "index/LocalIndex.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <limits>
#include <thread>
#include <unordered_set>
#include <utility>

#include "db/DupesConnection.h"
#include "index/BlockBuilder.h"
#include "index/BlockScan.h"
#include "index/BlockSketch.h"
#include "index/BlockView.h"
#include "index/CheckPlan.h"
#include "index/SqliteStatement.h"
#include "index/TextFinder.h"

namespace {

// Bumped whenever the tables or the block layout change: an older file is then rebuilt.
constexpr const char kSchemaVersion[] = "4";
// What tells one state of the copy's rows from another, beyond rows appended: mends count up the
// generation, a rebuild empties the collation.
constexpr const char kGenerationSelect[] =
    "SELECT coalesce((SELECT value FROM meta WHERE key = 'generation'), '') || '|' || "
    "coalesce(hex((SELECT value FROM meta WHERE key = 'collation')), '')";
// Pages are read into a small cache, not mapped: a fresh process faulting in the mapped pages of
// a large copy spent twice as long on the faults as on the search itself. The cache is small for
// the same reason: each page of it is fresh memory, faulted in once; 1 MiB measured fastest.
constexpr const char kCachePragmas[] = "PRAGMA mmap_size=0; PRAGMA cache_size=-1024;";
// More date strings that may match than this, and a search tries every entry.
constexpr size_t kMostDateProbes = 16;

// The statements that add rows and blocks, a catch-up's and a mend's alike; a block and its
// sketch each replace one under the same first id.
struct RowWrites {
  explicit RowWrites(sqlite3* db)
      : insert(db, "INSERT INTO entries VALUES(?, ?, ?)"),
        putBlock(db, "INSERT OR REPLACE INTO blocks VALUES(?, ?)"),
        putSketch(db, "INSERT OR REPLACE INTO sketches VALUES(?, ?, ?, ?)"),
        putDateStr(db, "INSERT OR IGNORE INTO datestrs VALUES(?)"),
        setMeta(db, "UPDATE meta SET value = ? WHERE key = ?") {}
  bool ok() const {
    return insert.ok() && putBlock.ok() && putSketch.ok() && putDateStr.ok() && setMeta.ok();
  }

  // Writes block and its sketch under its first id and empties it; false when the file refused it.
  bool PutBlock(BlockBuilder& block) {
    if (block.ids.empty()) return true;
    putBlock.Reset();
    putBlock.Bind(1, block.ids.front());
    const std::string bytes = block.Bytes();
    putBlock.BindBlob(2, bytes);
    int32_t low = 0, high = 0;
    const std::string sketch = block.Sketch(low, high);
    putSketch.Reset();
    putSketch.Bind(1, block.ids.front());
    putSketch.Bind(2, low);
    putSketch.Bind(3, high);
    putSketch.BindBlob(4, sketch);
    const bool ok = putBlock.Step() == SQLITE_DONE && putSketch.Step() == SQLITE_DONE;
    putBlock.Reset();
    putSketch.Reset();
    block.Clear();
    return ok;
  }

  SqliteStatement insert, putBlock, putSketch, putDateStr, setMeta;
};

bool ParseId(const char* text, unsigned long length, int32_t& id) {
  if (!text || length == 0 || length > 11) return false;
  long long v = 0;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == length) return false;
  for (; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  if (text[0] == '-') v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  id = static_cast<int32_t>(v);
  return true;
}

// A row's id and date, false with why when the copy cannot hold the row. A NULL text fails
// every LIKE, where an empty one passes a word of wildcards: such a table is not reproduced.
bool ReadRowKeys(const SourceRow& r, int32_t& id, int32_t& date, std::string& why) {
  why.clear();
  if (!r.id || !ParseId(r.id->data(), r.id->size(), id) || (r.date && !ParseDateKey(*r.date, date))) {
    why = "the server sent a row the copy cannot hold (id " + std::string(r.id ? *r.id : "NULL") + ")";
    return false;
  }
  if (!r.dir || !r.dateStr) {
    why = "entry " + std::to_string(id) + " has no name or no date string";
    return false;
  }
  return true;
}

std::string DateText(int32_t key) {
  if (key == kNullDate) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", key / 10000, key / 100 % 100, key % 100);
  return text;
}

// A bound IsCalendarDate accepted, as YYYYMMDD.
int32_t BoundKey(const std::string& bound) {
  int32_t key = 0;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) key = key * 10 + (bound[i] - '0');
  return key;
}

bool IsBrokenCode(int rc) {
  rc &= 0xff;
  return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB || rc == SQLITE_FORMAT;
}

void RemoveFiles(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

}  // namespace

std::string BuildCatchUpQuery(long long aboveId, int batch) {
  return "SELECT DUPES_ID,DUPES_DATE,DUPES_DATE_STR,DUPES_DIR FROM DUPES WHERE DUPES_ID > " +
         std::to_string(aboveId) + " ORDER BY DUPES_ID LIMIT " + std::to_string(batch);
}

bool ParseDateKey(std::string_view text, int32_t& key) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  int32_t v = 0;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  key = v;
  return true;
}

bool IsCalendarDate(std::string_view text) {
  // The search writes its bounds as YYYY-MM/DD; the server takes any punctuation between parts.
  std::string dashed(text);
  if (dashed.size() == 10 && (dashed[4] == '/' || dashed[4] == '-') && (dashed[7] == '/' || dashed[7] == '-'))
    dashed[4] = dashed[7] = '-';
  int32_t key;
  if (!ParseDateKey(dashed, key)) return false;
  const int y = key / 10000, m = key / 100 % 100, d = key % 100;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

LocalIndex::~LocalIndex() {
  sqlite3_close_v2(m_second);
  sqlite3_close_v2(m_db);
}

bool LocalIndex::OpenSecond() {
  if (m_second) return true;
  if (sqlite3_open_v2(m_path.c_str(), &m_second, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      sqlite3_exec(m_second, kCachePragmas, nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(m_second);
    m_second = nullptr;
    return false;
  }
  sqlite3_busy_timeout(m_second, 60000);
  return true;
}

bool LocalIndex::Exec(const char* sql, std::string& why) {
  char* error = nullptr;
  const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
  if (rc == SQLITE_OK) return true;
  why = m_path + ": " + (error ? error : sqlite3_errstr(rc));
  sqlite3_free(error);
  if (IsBrokenCode(rc)) Broken();
  return false;
}

// A file found broken is never read again: removed, so the next start builds afresh.
void LocalIndex::Broken() {
  RemoveFiles(m_path);
}

namespace {

sqlite3* OpenFile(const std::string& path, int flags, std::string& why) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    why = path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return nullptr;
  }
  // Another kestrel-dupe may be catching up the same copy: wait for it rather than fail.
  sqlite3_busy_timeout(db, 60000);
  return db;
}

// WAL with NORMAL keeps the file whole on a crash (a commit may be lost, never half applied).
constexpr const char kPragmas[] =
    "PRAGMA page_size=65536; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;";

}  // namespace

std::unique_ptr<LocalIndex> LocalIndex::Open(const std::string& path, const std::string& server,
                                             std::string& why) {
  // A file that does not load whole is not repaired: it goes, and a fresh one takes its place.
  for (int attempt = 0; attempt < 2; ++attempt) {
    sqlite3* db = OpenFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, why);
    if (!db) return nullptr;
    std::unique_ptr<LocalIndex> index(new LocalIndex(db, path));
    std::string loadWhy;
    if (index->Exec(kPragmas, why) && index->Exec(kCachePragmas, why)) {
      if (index->Load(server, loadWhy)) return index;
      if (attempt == 1 && index->Reset(server, why)) return index;
    }
    index.reset();
    RemoveFiles(path);
  }
  return nullptr;
}

std::unique_ptr<LocalIndex> LocalIndex::OpenExisting(const std::string& path, const std::string& server,
                                                     std::string& why) {
  if (::access(path.c_str(), F_OK) != 0) {
    why = "no local copy of " + server + " (" + path + ")";
    return nullptr;
  }
  sqlite3* db = OpenFile(path, SQLITE_OPEN_READWRITE, why);
  if (!db) return nullptr;
  std::unique_ptr<LocalIndex> index(new LocalIndex(db, path));
  std::string loadWhy;
  // A broken file stays for the next catch-up to replace: a check with a server then rebuilds it.
  if (sqlite3_exec(db, kCachePragmas, nullptr, nullptr, nullptr) != SQLITE_OK ||
      !index->Load(server, loadWhy)) {
    why = "the local copy of " + server + " is not usable (" + path + ")";
    return nullptr;
  }
  if (!index->m_ready) {
    why = "the local copy of " + server + " is still being built (" + path + ")";
    return nullptr;
  }
  return index;
}

// The meta rows, checked against the file's own rows: a file of another layout or server, or
// whose blocks and rows disagree, is not trusted.
bool LocalIndex::Load(const std::string& server, std::string& why) {
  // Without a log to add pages, the file holds every page its header counts: a shorter one was
  // cut off. Counted in a read transaction and the log looked for after: while it lasts no
  // writer can empty the log of pages the count includes, and one that starts a log meanwhile
  // only makes the test skipped.
  if (sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
    why = sqlite3_errmsg(m_db);
    return false;
  }
  SqliteStatement pages(m_db, "SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()");
  const long long counted =
      pages.ok() && pages.Step() == SQLITE_ROW ? sqlite3_column_int64(pages.get(), 0) : -1;
  struct stat wal {
  }, file{};
  const bool logged = ::stat((m_path + "-wal").c_str(), &wal) == 0 && wal.st_size > 0;
  const bool whole =
      logged || (counted >= 0 && ::stat(m_path.c_str(), &file) == 0 && file.st_size >= counted);
  pages.Reset();
  sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
  if (!whole) {
    why = "file cut off";
    return false;
  }
  SqliteStatement meta(m_db, "SELECT key, value FROM meta");
  if (!meta.ok()) {
    why = "no meta table";
    return false;
  }
  std::string schema, owner, ready, highest, rows;
  bool haveCollation = false;
  int rc;
  while ((rc = meta.Step()) == SQLITE_ROW) {
    const std::string key(meta.Text(0));
    const std::string value(meta.Text(1));
    if (key == "schema") schema = value;
    if (key == "server") owner = value;
    if (key == "ready") ready = value;
    if (key == "highest") highest = value;
    if (key == "rows") rows = value;
    if (key == "caught_up") m_caughtUp = std::atoll(value.c_str());
    if (key == "check_next") m_checkCursor = std::atoll(value.c_str());
    if (key == "checked_at") m_checkedAt = std::atoll(value.c_str());
    if (key == "collation") {
      m_collationKey = value;
      haveCollation = true;
    }
  }
  if (rc != SQLITE_DONE || schema != kSchemaVersion || owner != server || !haveCollation || highest.empty() ||
      rows.empty()) {
    why = "meta rows missing or foreign";
    return false;
  }
  m_server = server;
  m_ready = ready == "1";
  m_highest = std::atoll(highest.c_str());
  m_rows = std::atoll(rows.c_str());
  // The last block ends with the highest id, the rows end there too, and so do the sketches.
  SqliteStatement last(m_db, "SELECT data, first_id FROM blocks ORDER BY first_id DESC LIMIT 1");
  SqliteStatement top(
      m_db, "SELECT coalesce(max(id), 0), coalesce((SELECT max(first_id) FROM sketches), 0) FROM entries");
  if (!last.ok() || !top.ok() || top.Step() != SQLITE_ROW) {
    why = "tables missing";
    return false;
  }
  const long long topId = sqlite3_column_int64(top.get(), 0), topSketch = sqlite3_column_int64(top.get(), 1);
  rc = last.Step();
  if (rc == SQLITE_DONE) {
    if (m_rows == 0 && topId == 0 && topSketch == 0) return true;
  } else if (rc == SQLITE_ROW) {
    BlockView view;
    const std::string_view data = last.Text(0);
    if (view.Parse(data.data(), data.size()) && view.Id(view.n - 1) == m_highest && topId == m_highest &&
        topSketch == sqlite3_column_int64(last.get(), 1))
      return true;
  }
  why = "rows and blocks disagree";
  return false;
}

bool LocalIndex::Reset(const std::string& server, std::string& why) {
  const std::string sql =
      "BEGIN IMMEDIATE;"
      "DROP TABLE IF EXISTS meta; DROP TABLE IF EXISTS entries; DROP TABLE IF EXISTS blocks;"
      "DROP TABLE IF EXISTS datestrs; DROP TABLE IF EXISTS sketches;"
      "CREATE TABLE meta(key TEXT PRIMARY KEY, value BLOB);"
      "CREATE TABLE entries(id INTEGER PRIMARY KEY, date_str BLOB, dir BLOB);"
      "CREATE TABLE blocks(first_id INTEGER PRIMARY KEY, data BLOB NOT NULL);"
      // Every block's sketch and date span, under its first id: a search reads these first.
      "CREATE TABLE sketches(first_id INTEGER PRIMARY KEY, low_date INTEGER NOT NULL, "
      "high_date INTEGER NOT NULL, bits BLOB NOT NULL);"
      // Every folded date string once: a search tries them all, to find the entries that may
      // match by date string whatever their names.
      "CREATE TABLE datestrs(folded BLOB PRIMARY KEY) WITHOUT ROWID;"
      "INSERT INTO meta VALUES('schema', '" +
      std::string(kSchemaVersion) +
      "'),('ready','0'),('highest','0'),('rows','0'),('collation',''),('caught_up','');"
      "COMMIT;";
  if (!Exec(sql.c_str(), why)) {
    Exec("ROLLBACK", why);
    return false;
  }
  SqliteStatement owner(m_db, "INSERT INTO meta VALUES('server', ?)");
  owner.Bind(1, server);
  if (owner.Step() != SQLITE_DONE) {
    why = m_path + ": " + sqlite3_errmsg(m_db);
    return false;
  }
  m_server = server;
  m_collationKey.clear();
  m_ready = false;
  m_rows = m_highest = 0;
  return true;
}

namespace {

// Each row of the statement's result to each, until it returns false.
bool FetchRows(DupesConnection& connection, const std::string& sql,
               const std::function<bool(const SourceRow&)>& each, std::string& error, const char* step) {
  if (!connection.Query(sql)) {
    error = std::string(step) + " query failed: " + connection.LastError();
    return false;
  }
  auto field = [&connection](unsigned column) -> std::optional<std::string_view> {
    unsigned long length = 0;
    const char* text = connection.Field(column, &length);
    if (!text) return std::nullopt;
    return std::string_view(text, length);
  };
  bool more = true;
  while (more && connection.FetchRow()) more = each({field(0), field(1), field(2), field(3)});
  const bool failed = more && connection.HasError();
  if (failed) error = std::string(step) + " query failed: " + connection.LastError();
  connection.ReleaseResult();
  return !failed;
}

}  // namespace

LocalIndex::Result LocalIndex::CatchUp(DupesConnection& connection, const std::string& collationKey,
                                       const LocalFolder& fold, std::string& why, int batch,
                                       const std::function<bool()>& stop) {
  auto fetch = [&connection](long long aboveId, int rows, const std::function<bool(const SourceRow&)>& each,
                             std::string& error) {
    return FetchRows(connection, BuildCatchUpQuery(aboveId, rows), each, error, "catch-up");
  };
  return CatchUp(fetch, collationKey, fold, why, batch, stop);
}

LocalIndex::Result LocalIndex::CatchUp(const RowFetch& fetch, const std::string& collationKey,
                                       const LocalFolder& fold, std::string& why, int batch,
                                       const std::function<bool()>& stop) {
  if (collationKey != m_collationKey) {
    if (!m_collationKey.empty() && !Reset(m_server, why)) return Result::Failed;
    SqliteStatement set(m_db, "UPDATE meta SET value = ? WHERE key = 'collation'");
    set.BindBlob(1, collationKey);
    if (set.Step() != SQLITE_DONE) {
      why = m_path + ": " + sqlite3_errmsg(m_db);
      return Result::Failed;
    }
    m_collationKey = collationKey;
  }
  RowWrites writes(m_db);
  SqliteStatement& insert = writes.insert;
  SqliteStatement& putDateStr = writes.putDateStr;
  SqliteStatement& setMeta = writes.setMeta;
  SqliteStatement lastBlock(m_db, "SELECT first_id, data FROM blocks ORDER BY first_id DESC LIMIT 1");
  SqliteStatement readMeta(m_db, "SELECT value FROM meta WHERE key = ?");
  if (!writes.ok() || !lastBlock.ok() || !readMeta.ok()) {
    why = m_path + ": " + sqlite3_errmsg(m_db);
    return Result::Failed;
  }
  auto meta = [&](const char* key) {
    readMeta.Reset();
    readMeta.Bind(1, std::string_view(key));
    const std::string value = readMeta.Step() == SQLITE_ROW ? std::string(readMeta.Text(0)) : std::string();
    readMeta.Reset();
    return value;
  };
  auto put = [&](const char* key, const std::string& value) {
    setMeta.Reset();
    setMeta.Bind(1, std::string_view(value));
    setMeta.Bind(2, std::string_view(key));
    return setMeta.Step() == SQLITE_DONE;
  };
  // What the last commit holds, for a batch that is rolled back.
  long long committedHighest = m_highest, committedRows = m_rows;
  auto fileFailed = [&] {
    m_highest = committedHighest;
    m_rows = committedRows;
    const int rc = sqlite3_extended_errcode(m_db);
    why = m_path + ": " + sqlite3_errmsg(m_db);
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (IsBrokenCode(rc)) Broken();
    return Result::Failed;
  };

  std::string dir, ds;
  std::unordered_set<std::string> dateStrsPut;  // this catch-up's, so each costs one statement
  BlockBuilder block;
  while (!(stop && stop())) {
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return fileFailed();
    // Another process may have gone on since: its rows count.
    m_highest = std::atoll(meta("highest").c_str());
    m_rows = std::atoll(meta("rows").c_str());
    committedHighest = m_highest;
    committedRows = m_rows;
    block.Clear();
    lastBlock.Reset();
    if (lastBlock.Step() == SQLITE_ROW) {
      BlockView view;
      const std::string_view data = lastBlock.Text(1);
      if (!view.Parse(data.data(), data.size())) return fileFailed();
      if (data.size() + 1024 < kBlockBytes) block.Load(view);
    }
    lastBlock.Reset();
    auto flush = [&] { return writes.PutBlock(block); };

    int got = 0;
    Result refused = Result::Done;
    auto each = [&](const SourceRow& r) {
      ++got;
      int32_t id = 0, date = kNullDate;
      if (!ReadRowKeys(r, id, date, why) || id <= m_highest) {
        if (why.empty()) why = "the server sent a row out of order (id " + std::to_string(id) + ")";
        refused = Result::Fallback;
        return false;
      }
      dir.clear();
      ds.clear();
      if (!fold(*r.dir, dir) || !fold(*r.dateStr, ds) || !FitsABlock(dir, ds)) {
        why = "the collation cannot fold entry " + std::to_string(id) + " into a block";
        refused = Result::Fallback;
        return false;
      }
      insert.Reset();
      insert.Bind(1, id);
      if (r.dateStr)
        insert.Bind(2, *r.dateStr);
      else
        insert.BindNull(2);
      if (r.dir)
        insert.Bind(3, *r.dir);
      else
        insert.BindNull(3);
      // A row that would take the block past its bytes starts the next one.
      if (insert.Step() != SQLITE_DONE || (!block.Fits(dir, ds) && !flush())) {
        refused = Result::Failed;
        return false;
      }
      if (dateStrsPut.insert(ds).second) {
        putDateStr.Reset();
        putDateStr.BindBlob(1, ds);
        if (putDateStr.Step() != SQLITE_DONE) {
          refused = Result::Failed;
          return false;
        }
      }
      block.Add(id, date, dir, ds);
      m_highest = id;
      ++m_rows;
      return true;
    };
    std::string fetchWhy;
    const bool fetched = fetch(m_highest, batch, each, fetchWhy);
    if (refused == Result::Failed) return fileFailed();
    if (refused == Result::Fallback || !fetched) {
      sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
      if (!fetched) why = fetchWhy;
      m_highest = committedHighest;
      m_rows = committedRows;
      return fetched ? Result::Fallback : Result::Failed;
    }
    const bool end = got < batch;
    // Nothing new leaves the last block as it is: a search's catch-up then writes the time alone.
    if ((got > 0 &&
         (!flush() || !put("highest", std::to_string(m_highest)) || !put("rows", std::to_string(m_rows)))) ||
        (end && !put("ready", "1")) || !put("caught_up", std::to_string(std::time(nullptr))))
      return fileFailed();
    m_caughtUp = std::time(nullptr);
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fileFailed();
    if (end) {
      m_ready = true;
      return Result::Done;
    }
  }
  why = "stopped";
  return Result::Failed;
}

LocalIndex::Result LocalIndex::Search(const LocalQuery& query, LocalAnswer& answer, std::string& why) {
  answer = LocalAnswer();
  if (!m_ready) {
    why = "the local copy is still being built";
    return Result::Fallback;
  }
  if (!query.countOnly && query.limit < 0) {
    why = "a negative limit";
    return Result::Fallback;
  }
  // The statements apply a range only with both bounds; a bound that names no day compares as
  // the server converts it, which is not reproduced here.
  const bool range = !query.startBound.empty() && !query.endBound.empty();
  int32_t from = 0, to = 0;
  if (range) {
    if (!IsCalendarDate(query.startBound) || !IsCalendarDate(query.endBound)) {
      why = "a date bound that is no calendar date";
      return Result::Fallback;
    }
    from = BoundKey(query.startBound);
    to = BoundKey(query.endBound);
  }

  // Every text one way of matching needs; the longest is looked for, the matcher decides.
  std::vector<TextFinder> probes;
  std::vector<size_t> probeTexts;
  std::vector<std::vector<uint32_t>> listBits;
  bool everyRow = query.matcher.requiredTexts.empty();
  for (const auto& list : query.matcher.requiredTexts) {
    size_t longest = 0;
    for (size_t t = 1; t < list.size(); ++t)
      if (list[t].size() > list[longest].size()) longest = t;
    if (list.empty() || list[longest].empty()) everyRow = true;
    probes.emplace_back(list.empty() ? std::string_view() : list[longest]);
    probeTexts.push_back(longest);
    listBits.emplace_back();
    for (const std::string& text : list)
      for (uint32_t bit : BlockSketch::TextBits(text)) listBits.back().push_back(bit);
  }

  auto failed = [&](int rc) {
    why = m_path + ": " + (rc == SQLITE_CORRUPT ? "a block is not whole" : sqlite3_errmsg(m_db));
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (IsBrokenCode(rc)) {
      Broken();
      why += " (removed, it is rebuilt on the next catch-up)";
    }
    return Result::Failed;
  };
  // One snapshot: a catch-up of another process changes nothing under this search.
  if (sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
    return failed(sqlite3_extended_errcode(m_db));
  const std::string metaSql =
      "SELECT (SELECT value FROM meta WHERE key = 'rows'), (SELECT value FROM meta WHERE key = 'highest'), "
      "(" +
      std::string(kGenerationSelect) + ")";
  SqliteStatement meta(m_db, metaSql.c_str());
  // The first ids of the first and last blocks, then of the block half-way between them: listing
  // them all would read every block once more.
  SqliteStatement ends(m_db, "SELECT (SELECT min(first_id) FROM blocks), (SELECT max(first_id) FROM blocks)");
  SqliteStatement middle(m_db, "SELECT first_id FROM blocks WHERE first_id > ? ORDER BY first_id LIMIT 1");
  if (!meta.ok() || !ends.ok() || !middle.ok()) return failed(sqlite3_extended_errcode(m_db));
  int rc = meta.Step();
  if (rc != SQLITE_ROW) return failed(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
  answer.total = std::atoll(std::string(meta.Text(0)).c_str());
  const long long highest = std::atoll(std::string(meta.Text(1)).c_str());
  const std::string generation(meta.Text(2));
  if ((rc = ends.Step()) != SQLITE_ROW) return failed(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
  const long long lowest = sqlite3_column_int64(ends.get(), 0), last = sqlite3_column_int64(ends.get(), 1);
  middle.Bind(1, lowest + (last - lowest) / 2);
  long long half = 0;
  if ((rc = middle.Step()) == SQLITE_ROW) half = sqlite3_column_int64(middle.get(), 0);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return failed(rc);
  const bool twoHalves = rc == SQLITE_ROW;
  // Entries whose date string a word matches as a whole, whatever their names; many such date
  // strings and every entry is tried.
  std::vector<std::string> dateProbes;
  if (!everyRow && query.matcher.mayMatchByDate) {
    SqliteStatement dateStrs(m_db, "SELECT folded FROM datestrs");
    if (!dateStrs.ok()) return failed(sqlite3_extended_errcode(m_db));
    while (!everyRow && (rc = dateStrs.Step()) == SQLITE_ROW) {
      const std::string_view folded = dateStrs.Text(0);
      if (query.matcher.mayMatchByDate(folded)) dateProbes.emplace_back(folded);
      everyRow = dateProbes.size() > kMostDateProbes;
    }
    if (!everyRow && rc != SQLITE_DONE) return failed(rc);
  }
  std::vector<uint32_t> dateBits;
  for (const std::string& dateStr : dateProbes) dateBits.push_back(BlockSketch::DateStrBit(dateStr));

  // Two halves of the blocks, the second on a connection of its own in a thread of its own: a
  // scan is bound by memory, and the machine has two cores. The second connection reads a
  // snapshot of its own: rows a catch-up added since are left out by id (a catch-up only
  // appends); a copy mended or rebuilt since has another generation, and the first connection
  // then scans that half too, in its own snapshot.
  BlockScan parts[2];
  for (BlockScan& part : parts) {
    part.query = &query;
    part.probes = &probes;
    part.probeTexts = &probeTexts;
    part.dateProbes = &dateProbes;
    part.listBits = &listBits;
    part.dateBits = &dateBits;
    part.everyRow = everyRow;
    part.range = range;
    part.from = from;
    part.to = to;
    part.highest = highest;
  }
  const bool split = twoHalves && OpenSecond();
  parts[0].firstBlock = std::numeric_limits<long long>::min();
  parts[0].endBlock = split ? half : highest + 1;
  parts[1].firstBlock = parts[0].endBlock;
  parts[1].endBlock = highest + 1;
  std::thread second;
  bool stale = false;
  if (split)
    second = std::thread([this, &parts, &generation, &stale] {
      if (sqlite3_exec(m_second, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        parts[1].rc = sqlite3_extended_errcode(m_second);
        return;
      }
      SqliteStatement same(m_second, kGenerationSelect);
      stale = !same.ok() || same.Step() != SQLITE_ROW || same.Text(0) != generation;
      if (!stale) parts[1].Run(m_second);
      same.Reset();
      sqlite3_exec(m_second, "COMMIT", nullptr, nullptr, nullptr);
    });
  parts[0].Run(m_db);
  if (second.joinable()) second.join();
  if (stale) parts[1].Run(m_db);
  for (const BlockScan& part : parts)
    if (part.rc != SQLITE_OK) return failed(part.rc);

  const bool descending = query.order == 1;
  auto better = [descending](const BlockScan::Key& a, const BlockScan::Key& b) {
    return descending ? a > b : a < b;
  };
  const size_t keep = query.countOnly ? 0 : static_cast<size_t>(query.limit);
  answer.count = parts[0].count + parts[1].count;
  std::vector<BlockScan::Key> keys = std::move(parts[0].kept);
  keys.insert(keys.end(), parts[1].kept.begin(), parts[1].kept.end());
  std::sort(keys.begin(), keys.end(), better);
  if (keys.size() > keep) keys.resize(keep);
  SqliteStatement row(m_db, "SELECT date_str, dir FROM entries WHERE id = ?");
  if (!row.ok()) return failed(sqlite3_extended_errcode(m_db));
  for (const BlockScan::Key& key : keys) {
    row.Reset();
    row.Bind(1, key.second);
    if ((rc = row.Step()) != SQLITE_ROW) return failed(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    answer.rows.push_back({std::to_string(key.second), DateText(key.first), std::string(row.Text(0)),
                           std::string(row.Text(1))});
  }
  row.Reset();
  sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
  return Result::Done;
}

namespace {

// The texts of one row joined as the digest statement joins them.
constexpr char kDigestSeparator = '\x1f';

uint32_t Crc32(std::string_view bytes, uint32_t crc = 0) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xff] ^ (crc >> 8);
  return ~crc;
}

// A range's count and digest: the sum and the exclusive or of its rows' digests, so that a
// change the one misses the other finds.
struct RangeDigest {
  long long count = 0;
  unsigned long long sum = 0;
  uint32_t bits = 0;
  void Add(uint32_t row) {
    ++count;
    sum += row;
    bits ^= row;
  }
  bool operator==(const RangeDigest&) const = default;
};

}  // namespace

std::string BuildRangeDigestQuery(long long firstId, long long lastId) {
  // The columns converted to utf8mb4, the connection's character set: the bytes digested are
  // the ones a fetch of the rows receives, whatever the table's character set.
  return "SELECT COUNT(*),COALESCE(SUM(h),0),COALESCE(BIT_XOR(h),0) FROM (SELECT CRC32(CONCAT_WS(CHAR(31 "
         "USING "
         "utf8mb4),DUPES_ID,IFNULL(DUPES_DATE,''),CONVERT(DUPES_DATE_STR USING utf8mb4),CONVERT(DUPES_DIR "
         "USING "
         "utf8mb4))) AS h FROM DUPES WHERE DUPES_ID BETWEEN " +
         std::to_string(firstId) + " AND " + std::to_string(lastId) + ") AS r";
}

std::string BuildRangeRowsQuery(long long firstId, long long lastId) {
  return "SELECT DUPES_ID,DUPES_DATE,DUPES_DATE_STR,DUPES_DIR FROM DUPES WHERE DUPES_ID BETWEEN " +
         std::to_string(firstId) + " AND " + std::to_string(lastId) + " ORDER BY DUPES_ID";
}

uint32_t RowDigest(std::string_view id, std::string_view date, std::string_view dateStr,
                   std::string_view dir) {
  const char sep[1] = {kDigestSeparator};
  uint32_t crc = Crc32(id);
  for (std::string_view part : {date, dateStr, dir}) crc = Crc32(part, Crc32(std::string_view(sep, 1), crc));
  return crc;
}

std::string LocalIndex::MetaValue(const char* key) {
  SqliteStatement read(m_db, "SELECT value FROM meta WHERE key = ?");
  read.Bind(1, std::string_view(key));
  return read.ok() && read.Step() == SQLITE_ROW ? std::string(read.Text(0)) : std::string();
}

LocalIndex::Result LocalIndex::CheckNextRange(DupesConnection& connection, const LocalFolder& fold,
                                              RangeCheck& report, std::string& why) {
  report = RangeCheck();
  // Another process may have caught up or checked since.
  if (sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
    why = m_path + ": " + sqlite3_errmsg(m_db);
    return Result::Failed;
  }
  m_ready = MetaValue("ready") == "1";
  m_rows = std::atoll(MetaValue("rows").c_str());
  m_highest = std::atoll(MetaValue("highest").c_str());
  m_checkCursor = std::atoll(MetaValue("check_next").c_str());
  m_checkedAt = std::atoll(MetaValue("checked_at").c_str());
  sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
  if (!m_ready) {
    why = "the local copy is still being built";
    return Result::Fallback;
  }
  const CheckStep step = CheckPlan::Next(m_checkCursor, m_rows, m_highest);
  const Result result = CheckRange(connection, fold, step.firstId, step.lastId, report, why);
  if (result != Result::Done) return result;
  SqliteStatement put(m_db, "INSERT OR REPLACE INTO meta VALUES('check_next', ?), ('checked_at', ?)");
  const std::string next = std::to_string(step.nextCursor);
  const long long now = std::time(nullptr);
  const std::string at = std::to_string(now);
  put.Bind(1, std::string_view(next));
  put.Bind(2, std::string_view(at));
  if (!put.ok() || put.Step() != SQLITE_DONE) {
    why = m_path + ": " + sqlite3_errmsg(m_db);
    return Result::Failed;
  }
  m_checkCursor = step.nextCursor;
  m_checkedAt = now;
  return Result::Done;
}

LocalIndex::Result LocalIndex::CheckRange(DupesConnection& connection, const LocalFolder& fold,
                                          long long firstId, long long lastId, RangeCheck& report,
                                          std::string& why) {
  report = RangeCheck();
  report.firstId = firstId;
  report.lastId = lastId;
  RangeDigest server;
  ++report.statements;
  if (!connection.Query(BuildRangeDigestQuery(firstId, lastId)) || !connection.FetchRow() ||
      connection.FieldCount() != 3) {
    why = "digest query failed: " + connection.LastError();
    connection.ReleaseResult();
    return Result::Failed;
  }
  server.count = std::atoll(connection.FieldText(0).c_str());
  server.sum = std::strtoull(connection.FieldText(1).c_str(), nullptr, 10);
  server.bits = static_cast<uint32_t>(std::strtoul(connection.FieldText(2).c_str(), nullptr, 10));
  connection.ReleaseResult();

  auto fileFailed = [&] {
    const int rc = sqlite3_extended_errcode(m_db);
    why = m_path + ": " + (rc == SQLITE_CORRUPT ? "a block is not whole" : sqlite3_errmsg(m_db));
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_rows = std::atoll(MetaValue("rows").c_str());
    m_highest = std::atoll(MetaValue("highest").c_str());
    if (IsBrokenCode(rc)) Broken();
    return Result::Failed;
  };
  // Held until the range is mended, so that no catch-up or other check writes in between.
  if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return fileFailed();
  m_rows = std::atoll(MetaValue("rows").c_str());
  m_highest = std::atoll(MetaValue("highest").c_str());

  // The blocks that hold ids of the range: the one the range starts in and those starting in it.
  SqliteStatement blocks(
      m_db,
      "SELECT first_id, data, bits, low_date, high_date FROM blocks LEFT JOIN sketches "
      "USING(first_id) WHERE first_id <= ?2 AND first_id >= coalesce((SELECT max(first_id) FROM "
      "blocks WHERE first_id <= ?1), ?1) ORDER BY first_id");
  SqliteStatement entries(m_db, "SELECT id, date_str, dir FROM entries WHERE id BETWEEN ? AND ? ORDER BY id");
  if (!blocks.ok() || !entries.ok()) return fileFailed();
  blocks.Bind(1, firstId);
  blocks.Bind(2, lastId);
  entries.Bind(1, firstId);
  entries.Bind(2, lastId);
  std::vector<std::string> blockData, sketchData;
  std::vector<long long> blockFirsts;
  std::vector<std::pair<long long, long long>> spans;
  int rc;
  while ((rc = blocks.Step()) == SQLITE_ROW) {
    blockFirsts.push_back(sqlite3_column_int64(blocks.get(), 0));
    blockData.emplace_back(blocks.Text(1));
    sketchData.emplace_back(blocks.Text(2));
    spans.emplace_back(sqlite3_column_int64(blocks.get(), 3), sqlite3_column_int64(blocks.get(), 4));
  }
  if (rc != SQLITE_DONE) return fileFailed();
  std::vector<BlockView> views(blockData.size());
  for (size_t i = 0; i < views.size(); ++i)
    if (!views[i].Parse(blockData[i].data(), blockData[i].size())) {
      why = m_path + ": a block is not whole";
      sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
      Broken();
      return Result::Failed;
    }

  // The copy's digest: each entry of the range with the date its block holds. Rows and blocks
  // that disagree count as a change, which the mend then puts right; so does a sketch that is not
  // its block's, since a search would pass over what it leaves out.
  RangeDigest local;
  bool agree = true;
  for (size_t k = 0; agree && k < views.size(); ++k) {
    BlockBuilder block;
    block.Load(views[k]);
    int32_t low = 0, high = 0;
    agree =
        block.Sketch(low, high) == sketchData[k] && spans[k] == std::pair<long long, long long>(low, high);
  }
  if (agree) {
    size_t b = 0;
    uint32_t i = 0;
    auto nextInRange = [&]() -> bool {
      for (; b < views.size(); ++b, i = 0)
        for (; i < views[b].n; ++i)
          if (views[b].Id(i) >= firstId && views[b].Id(i) <= lastId) return true;
      return false;
    };
    while ((rc = entries.Step()) == SQLITE_ROW) {
      const long long id = sqlite3_column_int64(entries.get(), 0);
      if (!nextInRange() || views[b].Id(i) != id) {
        agree = false;
        break;
      }
      const std::string idText = std::to_string(id);
      local.Add(RowDigest(idText, DateText(views[b].Date(i)), entries.Text(1), entries.Text(2)));
      ++i;
    }
    if (agree && rc != SQLITE_DONE && rc != SQLITE_ROW) return fileFailed();
    if (agree && nextInRange()) agree = false;
  }
  entries.Reset();
  SqliteStatement counted(m_db, "SELECT count(*) FROM entries WHERE id BETWEEN ? AND ?");
  counted.Bind(1, firstId);
  counted.Bind(2, lastId);
  if (!counted.ok() || counted.Step() != SQLITE_ROW) return fileFailed();
  report.rowsBefore = report.rowsAfter = sqlite3_column_int64(counted.get(), 0);
  counted.Reset();
  if (agree && local == server) {
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    return Result::Done;
  }

  // The server's rows of the range, folded, in id order.
  struct Row {
    int32_t id, date;
    std::string dateStr, dir, foldedDir, foldedDateStr;
  };
  std::vector<Row> fetched;
  Result refused = Result::Done;
  auto each = [&](const SourceRow& r) {
    int32_t id = 0, date = kNullDate;
    if (!ReadRowKeys(r, id, date, why) || id < firstId || id > lastId ||
        (!fetched.empty() && id <= fetched.back().id)) {
      if (why.empty()) why = "the server sent a row out of order (id " + std::to_string(id) + ")";
      refused = Result::Fallback;
      return false;
    }
    Row row{id, date, std::string(*r.dateStr), std::string(*r.dir), {}, {}};
    if (!fold(row.dir, row.foldedDir) || !fold(row.dateStr, row.foldedDateStr) ||
        !FitsABlock(row.foldedDir, row.foldedDateStr)) {
      why = "the collation cannot fold entry " + std::to_string(id) + " into a block";
      refused = Result::Fallback;
      return false;
    }
    fetched.push_back(std::move(row));
    return true;
  };
  std::string fetchWhy;
  ++report.statements;
  const bool got = FetchRows(connection, BuildRangeRowsQuery(firstId, lastId), each, fetchWhy, "check");
  if (!got || refused != Result::Done) {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!got) why = fetchWhy;
    return got ? refused : Result::Failed;
  }

  // The affected blocks again, from their rows outside the range and the server's within it.
  SqliteStatement dropBlock(m_db, "DELETE FROM blocks WHERE first_id = ?");
  SqliteStatement dropSketch(m_db, "DELETE FROM sketches WHERE first_id = ?");
  SqliteStatement dropEntries(m_db, "DELETE FROM entries WHERE id BETWEEN ? AND ?");
  RowWrites writes(m_db);
  SqliteStatement& insert = writes.insert;
  SqliteStatement& putDateStr = writes.putDateStr;
  SqliteStatement& setMeta = writes.setMeta;
  if (!dropBlock.ok() || !dropSketch.ok() || !dropEntries.ok() || !writes.ok()) return fileFailed();
  for (long long first : blockFirsts) {
    dropBlock.Reset();
    dropBlock.Bind(1, first);
    dropSketch.Reset();
    dropSketch.Bind(1, first);
    if (dropBlock.Step() != SQLITE_DONE || dropSketch.Step() != SQLITE_DONE) return fileFailed();
  }
  dropEntries.Bind(1, firstId);
  dropEntries.Bind(2, lastId);
  if (dropEntries.Step() != SQLITE_DONE) return fileFailed();

  BlockBuilder block;
  auto flush = [&] { return writes.PutBlock(block); };
  auto add = [&](int32_t id, int32_t date, std::string_view dir, std::string_view ds) {
    if (!block.Fits(dir, ds) && !flush()) return false;
    block.Add(id, date, dir, ds);
    return true;
  };
  auto addFetched = [&](const Row& row) {
    insert.Reset();
    insert.Bind(1, row.id);
    insert.Bind(2, row.dateStr);
    insert.Bind(3, row.dir);
    putDateStr.Reset();
    putDateStr.BindBlob(1, row.foldedDateStr);
    return insert.Step() == SQLITE_DONE && putDateStr.Step() == SQLITE_DONE &&
           add(row.id, row.date, row.foldedDir, row.foldedDateStr);
  };
  size_t next = 0;  // the first fetched row not yet added
  for (const BlockView& view : views)
    for (uint32_t k = 0; k < view.n; ++k) {
      const int32_t id = view.Id(k);
      if (id >= firstId && id <= lastId) continue;
      if (id > lastId)
        for (; next < fetched.size(); ++next)
          if (!addFetched(fetched[next])) return fileFailed();
      if (!add(id, view.Date(k), view.Dir(k), view.DateStr(k))) return fileFailed();
    }
  for (; next < fetched.size(); ++next)
    if (!addFetched(fetched[next])) return fileFailed();
  if (!flush()) return fileFailed();

  // The highest id falls when the rows at the top were deleted: the last block must end there.
  SqliteStatement top(m_db, "SELECT coalesce(max(id), 0) FROM entries");
  if (!top.ok() || top.Step() != SQLITE_ROW) return fileFailed();
  const long long rows = m_rows - report.rowsBefore + static_cast<long long>(fetched.size());
  const long long highest = sqlite3_column_int64(top.get(), 0);
  auto put = [&](const char* key, long long value) {
    const std::string text = std::to_string(value);
    setMeta.Reset();
    setMeta.Bind(1, std::string_view(text));
    setMeta.Bind(2, std::string_view(key));
    return setMeta.Step() == SQLITE_DONE;
  };
  if (!put("rows", rows) || !put("highest", highest) ||
      sqlite3_exec(m_db,
                   "INSERT OR REPLACE INTO meta VALUES('generation', "
                   "coalesce((SELECT value FROM meta WHERE key = 'generation'), 0) + 1)",
                   nullptr, nullptr, nullptr) != SQLITE_OK)
    return fileFailed();
  if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fileFailed();
  m_rows = rows;
  m_highest = highest;
  report.mended = true;
  report.rowsAfter = static_cast<long long>(fetched.size());
  return Result::Done;
}
