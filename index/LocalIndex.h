#pragma once
// The local copy of one server's DUPES: its rows as sent, and beside them the folded names packed
// by id into blocks that a search scans as memory. It answers a search's count, rows (order,
// limit) and total as the server's statements would, for any matcher of folded texts.
//
//   auto copy = LocalIndex::Open(IndexFilePath(IndexFolder(), address), address, why);
//   copy->CatchUp(connection, collationKey, fold, why);      // builds it, or fetches what is new
//   if (copy->IsReady()) copy->Search(query, answer, why);   // Fallback: ask the server instead
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class DupesConnection;
struct sqlite3;

// What a search needs of its mask: whether an entry's folded directory and folded date string
// match (called from two threads at once), and the folded texts every matching directory holds
// (one list per way of matching, as MaskProgram::RequiredTexts; empty: every entry is tried).
// With mayMatchByDate, an entry whose folded date string it accepts is tried whatever its name.
struct LocalMatcher {
  std::function<bool(std::string_view foldedDir, std::string_view foldedDateStr)> matches;
  std::vector<std::vector<std::string>> requiredTexts;
  std::function<bool(std::string_view foldedDateStr)> mayMatchByDate;
  // A directory holding every text of one list matches without asking matches, and one holding
  // no list whole matches only if its date string is accepted.
  bool textsSuffice = false;
};

// One row as a catch-up receives it; a missing text is SQL NULL.
struct SourceRow {
  std::optional<std::string_view> id, date, dateStr, dir;
};
// Hands each row above aboveId, by id, at most batch, to each (which returns false to stop
// early); false with the reason when the rows cannot be had.
using RowFetch = std::function<bool(long long aboveId, int batch,
                                    const std::function<bool(const SourceRow&)>& each, std::string& why)>;

// Folds a text as the copy's collation does; false when the collation cannot hold it.
using LocalFolder = std::function<bool(std::string_view text, std::string& folded)>;

struct LocalQuery {
  LocalMatcher matcher;
  std::string startBound, endBound;  // as the statements write them (ToSqlDate); empty: no range
  int limit = 20;
  int order = 1;  // 0 FIRST->LAST, 1 LAST->FIRST
  bool countOnly = false;
};

struct LocalEntry {
  std::string id, date, dateStr, dir;  // as the server sent them
};

// What one check of a range of ids found and did.
struct RangeCheck {
  long long firstId = 0, lastId = 0;  // the ids checked, both included
  bool mended = false;                // the digests differed: the range's rows were replaced
  long long rowsBefore = 0;           // the copy's rows in the range before
  long long rowsAfter = 0;            // and after (the server's, when mended)
  int statements = 0;                 // sent to the server
};

struct LocalAnswer {
  long long count = 0;
  std::vector<LocalEntry> rows;  // in the statement's order, at most limit
  long long total = 0;           // SELECT COUNT(*) FROM DUPES
};

class LocalIndex {
 public:
  enum class Result { Done, Fallback, Failed };

  // The copy of server in the file at path, made when missing. A file that is no database, of
  // another layout, of another server or not whole is removed and started afresh. Null with the
  // reason when the file cannot be made at all.
  static std::unique_ptr<LocalIndex> Open(const std::string& path, const std::string& server,
                                          std::string& why);
  // The copy at path only when it exists and is whole and complete, for an answer without a
  // server; null with the reason otherwise (nothing is made or removed).
  static std::unique_ptr<LocalIndex> OpenExisting(const std::string& path, const std::string& server,
                                                  std::string& why);
  ~LocalIndex();
  LocalIndex(const LocalIndex&) = delete;
  LocalIndex& operator=(const LocalIndex&) = delete;

  // Whether the first build has reached the end of the table once.
  bool IsReady() const { return m_ready; }
  // The collation the copy was folded with, as stored (empty before the first catch-up).
  const std::string& CollationKey() const { return m_collationKey; }
  long long Rows() const { return m_rows; }
  long long HighestId() const { return m_highest; }
  // When the copy was last brought up to date (seconds since the epoch; 0: never).
  long long CaughtUpAt() const { return m_caughtUp; }

  // Fetches the rows above the copy's highest id, batch rows a statement, each batch committed
  // on its own (a build stopped anywhere goes on from there). A copy folded with another
  // collation starts afresh. stop (optional) ends it between batches. Fallback when a name
  // cannot be folded (the collation cannot be reproduced), Failed on a server or file error.
  Result CatchUp(DupesConnection& connection, const std::string& collationKey, const LocalFolder& fold,
                 std::string& why, int batch = 50000, const std::function<bool()>& stop = {});
  // The same from any source of rows (the benchmark's generated ones).
  Result CatchUp(const RowFetch& fetch, const std::string& collationKey, const LocalFolder& fold,
                 std::string& why, int batch = 50000, const std::function<bool()>& stop = {});

  // Count, rows and total from the copy. Fallback when the query cannot be answered here as
  // the server would (a bound that is no calendar date, a negative limit, a copy not ready).
  // Failed when the file turns out broken: it is then removed.
  Result Search(const LocalQuery& query, LocalAnswer& answer, std::string& why);

  // Compares the ids [firstId, lastId] of the copy with the server's by a digest of each side
  // and, when they differ, replaces the copy's rows of the range by the server's (deleted,
  // changed and late rows alike) in one transaction. Rows above the copy's highest id are left
  // to the catch-up. Fallback when a row cannot be held or folded (the copy is left as it was),
  // Failed on a server or file error.
  Result CheckRange(DupesConnection& connection, const LocalFolder& fold, long long firstId, long long lastId,
                    RangeCheck& report, std::string& why);
  // CheckRange on the range CheckPlan names from the cursor kept in the file, which then moves
  // on (back to the start after the highest id). Fallback while the copy is being built.
  Result CheckNextRange(DupesConnection& connection, const LocalFolder& fold, RangeCheck& report,
                        std::string& why);
  // The next id the checks start from, as kept in the file (0: a pass starts afresh).
  long long CheckCursor() const { return m_checkCursor; }
  // When a range was last checked (seconds since the epoch; 0: never).
  long long CheckedAt() const { return m_checkedAt; }

 private:
  LocalIndex(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}
  bool Load(const std::string& server, std::string& why);
  bool Reset(const std::string& server, std::string& why);
  bool Exec(const char* sql, std::string& why);
  void Broken();
  // The connection the second half of a search reads on.
  bool OpenSecond();
  // Meta value of key within the transaction held; empty when missing.
  std::string MetaValue(const char* key);

  sqlite3* m_db = nullptr;
  sqlite3* m_second = nullptr;
  std::string m_path;
  std::string m_server;
  std::string m_collationKey;
  bool m_ready = false;
  long long m_rows = 0;
  long long m_highest = 0;
  long long m_caughtUp = 0;
  long long m_checkCursor = 0;
  long long m_checkedAt = 0;
};

// The statement a catch-up sends: rows above id, by id, at most batch.
std::string BuildCatchUpQuery(long long aboveId, int batch);
// The statement that asks for the count and the digest of the ids [firstId, lastId].
std::string BuildRangeDigestQuery(long long firstId, long long lastId);
// The statement that fetches the rows of the ids [firstId, lastId], by id.
std::string BuildRangeRowsQuery(long long firstId, long long lastId);
// The digest a row adds, from its texts as sent (date empty for NULL): the server's CRC32 of
// the texts joined by U+001F, on utf8mb4.
uint32_t RowDigest(std::string_view id, std::string_view date, std::string_view dateStr,
                   std::string_view dir);
// YYYY-MM-DD (a DATE as sent) as the number YYYYMMDD; false for anything else.
bool ParseDateKey(std::string_view text, int32_t& key);
// Whether a search's bound, YYYY-MM-DD or YYYY-MM/DD, names a day of the calendar.
bool IsCalendarDate(std::string_view text);
