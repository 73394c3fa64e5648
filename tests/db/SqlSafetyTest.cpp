// Masks written to break out of their literals, run against a real server through the program's
// own connection and through one that would let an injection do harm (every right on the schema,
// several statements per call). Each statement either fails or selects exactly the rows whose
// directory or date string the mask's words match as LIKE patterns; the tables stay as they were.
#include <gtest/gtest.h>
#include <mysql.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "tests/support/MaskTokens.h"
#include "tests/support/SharedDbServer.h"

namespace {

using Ids = std::set<int>;

// The rows, inserted in this order into an empty table, so row i has DUPES_ID i + 1.
const std::vector<DupeSample> kRows = {
    {"1998-02-05", "020598", "O'Neil.Tools-GRP"},
    {"1998-02-06", "020698", "Back\\Slash-GRP"},
    {"1997-03-01", "030197", "Plain.Release-GRP"},
    {"1999-01-01", "010199", "Ends.With\\"},
    {"1998-05-05", "050598", "x' OR 1=1 -- .Quote-GRP"},
    {"1996-01-01", "010196", "'; DROP TABLE DUPES; --"},
    {"1998-07-07", "070798", "100%_Real-GRP"},
    {"1998-08-08", "080898", "It\\'s-GRP"},
    {"1998-09-09", "090998", "A/*B*/C-GRP"},
    {"1998-10-10", "101098", "Tick`Tock-GRP"},
    {"1998-11-11", "111198", "Say\"Hi\"-GRP"},
    {"1998-12-12", "121298", "Tab\there-GRP"},
    {"1999-02-02", "020299", std::string("Nul\0Byte-GRP", 12)},
    {"1999-03-03", "030399", "Caf\xC3\xA9.Noir-GRP"},
    {"1999-04-04", "040499", "UNION SELECT 1,2,3,4-GRP"},
    {"1999-05-05", "050599", "Double\\\\Back-GRP"},
    {"1999-06-06", "060699", "a_b-GRP"},
    {"1999-07-07", "070799", "axb-GRP"},
    {"1999-08-08", "'", "Zz' OR 'a'='a"},
    {"1999-09-09", "1=1", "Esc\\0\\n\\Z-GRP"},
    {"2000-01-01", "%", "Percent.Date-GRP"},
    {"1997-06-15", "061597", "Semi;Colon-GRP"},
};

// Filler rows that a condition made always true would pull in.
std::vector<DupeSample> AllRows() {
  std::vector<DupeSample> rows = kRows;
  for (int i = 0; i < 20; ++i) {
    const std::string day = std::to_string(10 + i);
    rows.push_back({"1997-01-" + day, "01" + day + "97", "Filler." + std::to_string(i) + "-GRP"});
  }
  return rows;
}

// ---- What a mask means, worked out here without the query builder ----

// Code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<unsigned> CodePoints(const std::string& s) {
  std::vector<unsigned> out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    unsigned cp = extra ? c & (0x3F >> extra) : c;
    bool ok = c < 0x80 || extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
      ok = i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
      if (ok) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) {
      out.push_back(0x100000u | c);  // matches nothing but itself
      ++i;
      continue;
    }
    out.push_back(cp);
    i += 1 + static_cast<size_t>(extra);
  }
  return out;
}

// A LIKE pattern: '%' any run, '_' one character, anything else itself (ASCII case ignored).
struct Pattern {
  enum Kind { Any, One, Char };
  std::vector<std::pair<Kind, unsigned>> items;
};

unsigned Fold(unsigned c) {
  return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Iterative, so a 100,000-character word costs no deep recursion.
bool Matches(const Pattern& p, const std::vector<unsigned>& t) {
  const size_t n = p.items.size();
  size_t pi = 0, ti = 0, starP = std::string::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < n && (p.items[pi].first == Pattern::One ||
                   (p.items[pi].first == Pattern::Char && Fold(p.items[pi].second) == Fold(t[ti])))) {
      ++pi;
      ++ti;
    } else if (pi < n && p.items[pi].first == Pattern::Any) {
      starP = pi++;
      starT = ti;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < n && p.items[pi].first == Pattern::Any) ++pi;
  return pi == n;
}

// How a word reads as a pattern. looseBackslash: a backslash stands for a backslash followed by
// anything, which covers every way a server may read the builder's backslashes; and a NUL stands
// for anything, since with backslashes taken literally the server's LIKE reads a NUL as its
// escape character.
Pattern WordPattern(const std::string& word, bool contains, bool looseBackslash) {
  Pattern p;
  if (contains) p.items.push_back({Pattern::Any, 0});
  for (unsigned c : CodePoints(word)) {
    if (c == '%' || (c == 0 && looseBackslash)) {
      p.items.push_back({Pattern::Any, 0});
    } else if (c == '_') {
      p.items.push_back({Pattern::One, 0});
    } else {
      p.items.push_back({Pattern::Char, c});
      if (c == '\\' && looseBackslash) p.items.push_back({Pattern::Any, 0});
    }
  }
  if (contains) p.items.push_back({Pattern::Any, 0});
  return p;
}

// The mask as a condition, AND binding closer than OR, adjacent operands joined by AND, '!'
// adding nothing. False when the mask is no well-formed condition (the server must refuse it).
class MaskCondition {
 public:
  MaskCondition(const std::string& mask, bool looseBackslash) {
    for (const std::string& t : MaskTokens(mask)) {
      if (t == "!") continue;
      m_tokens.push_back(t);
      // Each word's two patterns, made once for all rows.
      const bool word = !IsMaskOperatorToken(t);
      m_dirPatterns.push_back(word ? WordPattern(t, true, looseBackslash) : Pattern());
      m_datePatterns.push_back(word ? WordPattern(t, false, looseBackslash) : Pattern());
    }
  }

  bool Evaluate(const DupeSample& row, bool& result) {
    m_dir = CodePoints(row.dir);
    m_date = CodePoints(row.dateStr);
    m_pos = 0;
    return Or(result) && m_pos == m_tokens.size();
  }

 private:
  bool Peek(const char* t) const { return m_pos < m_tokens.size() && m_tokens[m_pos] == t; }
  bool StartsOperand() const {
    return m_pos < m_tokens.size() && (m_tokens[m_pos] == "(" || !IsMaskOperatorToken(m_tokens[m_pos]));
  }
  bool Or(bool& result) {
    if (!And(result)) return false;
    while (Peek("|")) {
      ++m_pos;
      bool more;
      if (!And(more)) return false;
      result = result || more;
    }
    return true;
  }
  bool And(bool& result) {
    if (!Operand(result)) return false;
    for (;;) {
      if (Peek("&")) {
        ++m_pos;
      } else if (!StartsOperand()) {
        return true;
      }
      bool more;
      if (!Operand(more)) return false;
      result = result && more;
    }
  }
  bool Operand(bool& result) {
    if (m_pos >= m_tokens.size()) return false;
    const size_t at = m_pos++;
    const std::string& t = m_tokens[at];
    if (t == "(") {
      if (!Or(result) || !Peek(")")) return false;
      ++m_pos;
      return true;
    }
    if (IsMaskOperatorToken(t)) return false;
    result = Matches(m_dirPatterns[at], m_dir) || Matches(m_datePatterns[at], m_date);
    return true;
  }

  std::vector<std::string> m_tokens;
  size_t m_pos = 0;
  std::vector<Pattern> m_dirPatterns, m_datePatterns;
  std::vector<unsigned> m_dir, m_date;
};

bool InRange(const DupeSample& row, const std::string& from, const std::string& to) {
  return row.date >= from && row.date <= to;
}

// ---- The server ----

struct Outcome {
  bool ok = false;
  Ids ids;          // the row query's DUPES_ID values
  long count = -1;  // the count query's value
  std::string error;
};

class Connection {
 public:
  // A guest connection of our own: every statement in one call runs, as an attacker would wish.
  // Its literals take the table's character set, as the program's do.
  explicit Connection(const std::string& address) : m_mysql(mysql_init(nullptr)) {
    mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (!mysql_real_connect(m_mysql, address.c_str(), "ZEBRANO", "ZEBRANO", "dupesnukes", 0, nullptr,
                            CLIENT_MULTI_STATEMENTS))
      ADD_FAILURE() << "guest connection: " << mysql_error(m_mysql);
    if (mysql_query(m_mysql, "SET character_set_connection = @@character_set_database") != 0)
      ADD_FAILURE() << "character set: " << mysql_error(m_mysql);
  }
  ~Connection() { mysql_close(m_mysql); }
  MYSQL* get() { return m_mysql; }

  // Runs sql whole (NULs included); the result must be one result set of the given width.
  bool Run(const std::string& sql, unsigned columns, std::vector<std::vector<std::string>>& rows,
           std::string& error) {
    if (mysql_real_query(m_mysql, sql.data(), sql.size()) != 0) {
      error = mysql_error(m_mysql);
      return false;
    }
    MYSQL_RES* result = mysql_store_result(m_mysql);
    EXPECT_NE(result, nullptr) << sql.substr(0, 200);
    if (!result) return false;
    EXPECT_EQ(mysql_num_fields(result), columns);
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
      unsigned long* lengths = mysql_fetch_lengths(result);
      std::vector<std::string> values;
      for (unsigned i = 0; i < mysql_num_fields(result); ++i)
        values.emplace_back(row[i] ? std::string(row[i], lengths[i]) : std::string());
      rows.push_back(values);
    }
    mysql_free_result(result);
    // Anything after the first statement would show up here.
    EXPECT_FALSE(mysql_more_results(m_mysql)) << "a second statement ran: " << sql.substr(0, 200);
    while (mysql_more_results(m_mysql) && mysql_next_result(m_mysql) == 0) {
      if (MYSQL_RES* more = mysql_store_result(m_mysql)) mysql_free_result(more);
    }
    return true;
  }

 private:
  MYSQL* m_mysql;
};

struct Feedback : ConnectionFeedback {
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string& text, const std::string&, unsigned) override {
    ADD_FAILURE() << "message: " << text;
    return 0;
  }
};

SharedDbServer sharedServer("server", [](TestDbServer& s) {
  s.AddDupes(AllRows());
  s.Execute("CREATE TABLE CANARY (C INT)");
  s.Execute("INSERT INTO CANARY VALUES (7)");
  // Every right, so an injected statement could do its damage.
  s.Execute("GRANT ALL ON dupesnukes.* TO 'ZEBRANO'@'%'");
});

struct Fixture {
  TestDbServer& server = *sharedServer;
  std::vector<DupeSample> rows = AllRows();
};

Fixture& F() {
  static Fixture fixture;
  return fixture;
}

// What must not change, whatever the masks did.
std::string TableState() {
  return F().server.QueryValue(
      "SELECT CONCAT((SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'dupesnukes'), '/',"
      " (SELECT COUNT(*) FROM DUPES), '/', (SELECT SUM(CRC32(CONCAT_WS('|', DUPES_ID, DUPES_DATE, "
      "DUPES_DATE_STR, HEX(DUPES_DIR)))) FROM DUPES), '/', (SELECT SUM(C) FROM CANARY))");
}

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s.substr(0, 60)) {
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return s.size() > 60 ? out + "...(" + std::to_string(s.size()) + " bytes)" : out;
}

// Text the connection's three-byte UTF-8 carries: a mask of it must run.
bool PlainUtf8(const std::string& s) {
  for (unsigned c : CodePoints(s)) {
    if (c == 0 || c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  }
  return true;
}

std::vector<std::string> InjectionMasks() {
  std::vector<std::string> masks = {
      "'",
      "''",
      "\\",
      "\\'",
      "'\\",
      "\\\\'",
      "O'Neil",
      "Back\\Slash",
      "With\\",
      "It\\'s",
      "Double\\\\Back",
      "' OR 1=1 --",
      "x' OR 1=1 -- ",
      "' OR '1'='1",
      "' OR 'a'='a",
      "''OR''='",
      "'; DROP TABLE DUPES; --",
      "\\'; DROP TABLE DUPES; -- ",
      "'); DROP TABLE CANARY; #",
      "\\'); DELETE FROM DUPES; #",
      "%' OR '%'='",
      "\\' OR 1=1 #",
      "\\\\' OR 1=1 -- ",
      "%",
      "_",
      "*",
      "100%",
      "100\\%",
      "\\%",
      "\\_",
      "a_b",
      "(",
      ")",
      "((a)",
      "a)",
      "(a|b",
      ")(",
      "a | (b",
      "(",
      "/*",
      "*/",
      "/* x */ Plain",
      "A/*B*/C",
      "a -- b",
      "#",
      "Plain # x",
      "`",
      "`DUPES`",
      "Tick`Tock",
      "\"",
      "Say\"Hi",
      "\" OR \"\"=\"",
      "UNION SELECT 1,2,3,4",
      "' UNION SELECT DUPES_ID,DUPES_DATE,DUPES_DATE_STR,DUPES_DIR FROM DUPES -- ",
      "') UNION SELECT 1,2,3,4 -- ",
      "';SELECT SLEEP(5);'",
      "Semi;Colon",
      ";",
      "a|b",
      "(O'Neil|Plain) GRP",
      "x & (y | z)",
      "!",
      "a ! b",
      "|",
      "& a",
      "a &",
      "a & & b",
      "a || b",
      "   ",
      "Tab\there",
      "a\nb",
      "\r\n' OR 1=1",
      "\x1a",
      "\\0",
      "\\n",
      "\\Z",
      "Esc\\0\\n\\Z",
      "\\0 OR 1=1",
      "Caf\xC3\xA9",
      "\xFF",
      "\xC3\x28",
      "\xE2\x82",
      "\xC0\xAF' OR 1=1 -- ",
      "\xED\xA0\x80",
      "\xF0\x9F\x98\x80",
      "\xBF\x27 OR 1=1",
      std::string("Nul\0Byte", 8),
      std::string(1, '\0'),
      std::string("' \0 OR 1=1 -- ", 14),
      std::string("a\0' OR '1'='1", 13),
  };
  masks.push_back(std::string(100000, 'a'));
  masks.push_back(std::string(100000, '\''));
  masks.push_back(std::string(49999, '\\') + "' OR 1=1 -- ");
  std::string repeated;
  while (repeated.size() < 100000) repeated += "x' OR 1=1 -- |";
  masks.push_back(repeated);
  masks.push_back(std::string(2000, '(') + "a");
  return masks;
}

class SqlSafetyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    F();
  }

  // One mask through both connections and both query kinds. strict: the words' backslashes
  // mean what the builder meant; otherwise the rows only must lie within the looser reading.
  static void CheckMask(const std::string& mask, DupesConnection* program, Connection& raw, bool strict,
                        const std::string& from = "", const std::string& to = "") {
    SCOPED_TRACE("mask " + Printable(mask) + (from.empty() ? "" : " range " + from + ".." + to));
    const std::string start = from.empty() ? "" : ToSqlDate(from);
    const std::string end = to.empty() ? "" : ToSqlDate(to);
    const std::string lo =
        start.empty() ? "" : start.substr(0, 4) + "-" + from.substr(0, 2) + "-" + from.substr(3, 2);
    const std::string hi =
        end.empty() ? "" : end.substr(0, 4) + "-" + to.substr(0, 2) + "-" + to.substr(3, 2);

    bool wellFormed = true;
    Ids wanted, loose;
    MaskCondition exact(mask, false), wide(mask, true);
    for (size_t i = 0; i < F().rows.size(); ++i) {
      bool a = false, b = false;
      if (!exact.Evaluate(F().rows[i], a) || !wide.Evaluate(F().rows[i], b)) {
        wellFormed = false;
        break;
      }
      const bool inRange = lo.empty() || InRange(F().rows[i], lo, hi);
      if (a && inRange) wanted.insert(static_cast<int>(i) + 1);
      if (b && inRange) loose.insert(static_cast<int>(i) + 1);
    }
    const int order = static_cast<int>(mask.size() % 3) - 1;
    const std::string countSql = BuildDupesQuery(mask, start, end, 0, order, true);
    const std::string rowSql = BuildDupesQuery(mask, start, end, 100000, order, false);

    std::vector<std::vector<std::string>> rows, count;
    std::string error;
    const bool rowsRan = raw.Run(rowSql, 4, rows, error);
    const bool countRan = raw.Run(countSql, 1, count, error);
    EXPECT_EQ(rowsRan, countRan) << error;
    if (!wellFormed) {
      EXPECT_FALSE(rowsRan) << "a malformed mask ran";
    } else if (PlainUtf8(mask)) {
      EXPECT_TRUE(rowsRan) << "a well-formed mask failed: " << error;
    }
    if (rowsRan && countRan && wellFormed) {
      Ids got;
      for (const auto& r : rows) got.insert(std::stoi(r[0]));
      if (strict) {
        EXPECT_EQ(got, wanted);
      } else {
        EXPECT_TRUE(std::includes(loose.begin(), loose.end(), got.begin(), got.end()))
            << "rows outside what the words allow";
      }
      ASSERT_EQ(count.size(), 1u);
      EXPECT_EQ(count[0][0], std::to_string(got.size()));
    }

    // The program's own way: a C string over its own connection.
    if (!program) return;
    std::string value;
    const bool counted = program->QueryValue(countSql, value);
    const bool fetched = program->Query(rowSql);
    EXPECT_EQ(counted, fetched);
    if (!wellFormed || mask.find('\0') != std::string::npos) {
      EXPECT_FALSE(fetched) << "a malformed or cut statement ran";
    } else {
      EXPECT_EQ(fetched, rowsRan);
    }
    if (fetched) {
      Ids got;
      while (program->FetchRow()) got.insert(std::stoi(program->Field(0)));
      if (strict) {
        EXPECT_EQ(got, wanted);
      } else {
        EXPECT_TRUE(std::includes(loose.begin(), loose.end(), got.begin(), got.end()));
      }
      EXPECT_EQ(value, std::to_string(got.size()));
    }
    program->ReleaseResult();
  }
};

std::unique_ptr<DupesConnection> OpenProgramConnection(Feedback& feedback) {
  DupesEndpoints ends;
  ends.m_strPrimary = ends.m_strBackup = F().server.address();
  auto c = std::make_unique<DupesConnection>(ends, "ZEBRANO", "ZEBRANO");
  if (!c->Open(feedback)) return nullptr;
  return c;
}

bool HasBackslashOrNul(const std::string& s) {
  return s.find('\\') != std::string::npos || s.find('\0') != std::string::npos;
}

}  // namespace

TEST_F(SqlSafetyTest, TheRowsGiveTheInjectionsSomethingToFind) {
  // The oracle itself: a condition made always true would show, and the crafted rows are found.
  ASSERT_EQ(
      F().server.QueryValue("SELECT CONCAT(MIN(DUPES_ID), '-', MAX(DUPES_ID), '-', COUNT(*)) FROM DUPES"),
      "1-" + std::to_string(F().rows.size()) + "-" + std::to_string(F().rows.size()));
  auto count = [](const std::string& mask) {
    int n = 0;
    for (const DupeSample& row : F().rows) {
      bool match = false;
      MaskCondition condition(mask, false);
      if (condition.Evaluate(row, match) && match) ++n;
    }
    return n;
  };
  EXPECT_EQ(count("*"), static_cast<int>(F().rows.size()));
  EXPECT_EQ(count("' OR 1=1 --"), 1);
  EXPECT_EQ(count("'; DROP TABLE DUPES; --"), 1);
  EXPECT_EQ(count("O'Neil|Plain"), 2);
  EXPECT_EQ(count("a_b"), 2);
  EXPECT_EQ(count("Back\\Slash"), 1);    // a backslash is itself
  EXPECT_EQ(count("Back\\\\Slash"), 0);  // and two are two
  EXPECT_EQ(count("100\\%"), 0);         // not an escape for the wildcard
  EXPECT_LT(count("'"), static_cast<int>(F().rows.size()) / 2);
}

TEST_F(SqlSafetyTest, EveryMaskSelectsExactlyWhatItsWordsMatchAndChangesNothing) {
  const std::string before = TableState();
  Feedback feedback;
  auto program = OpenProgramConnection(feedback);
  ASSERT_TRUE(program);
  Connection raw(F().server.address());
  const std::vector<std::string> masks = InjectionMasks();
  for (const std::string& mask : masks) CheckMask(mask, program.get(), raw, true);
  // With a range the mask part sits in brackets of its own.
  for (size_t i = 0; i < masks.size(); i += 3)
    CheckMask(masks[i], nullptr, raw, true, "01/01/1998", "12/31/1998");
  program->Close(feedback);
  EXPECT_EQ(TableState(), before);
}

TEST_F(SqlSafetyTest, BoundsCannotCarryACondition) {
  const std::string before = TableState();
  Connection raw(F().server.address());
  const char* bounds[][2] = {
      {"1998-01/01' OR '1'='1", "1998-12/31"},
      {"1998-01/01", "1998-12/31') OR 1=1 -- "},
      {"1998-01/01\\", "') OR 1=1; DROP TABLE CANARY; #"},
  };
  for (const auto& b : bounds) {
    SCOPED_TRACE(std::string(b[0]) + " .. " + b[1]);
    for (const char* mask : {"Plain", "O'Neil"}) {
      Ids words;
      for (size_t i = 0; i < F().rows.size(); ++i) {
        bool match = false;
        MaskCondition condition(mask, false);
        if (condition.Evaluate(F().rows[i], match) && match) words.insert(static_cast<int>(i) + 1);
      }
      std::vector<std::vector<std::string>> rows;
      std::string error;
      if (raw.Run(BuildDupesQuery(mask, b[0], b[1], 1000, 1, false), 4, rows, error)) {
        Ids got;
        for (const auto& r : rows) got.insert(std::stoi(r[0]));
        EXPECT_TRUE(std::includes(words.begin(), words.end(), got.begin(), got.end())) << mask;
      }
    }
  }
  EXPECT_EQ(TableState(), before);
}

TEST_F(SqlSafetyTest, WithBackslashesTakenLiterallyNoMaskChangesTheStatement) {
  const std::string before = TableState();
  const std::string mode = F().server.QueryValue("SELECT @@GLOBAL.sql_mode");
  F().server.Execute("SET GLOBAL sql_mode = 'NO_BACKSLASH_ESCAPES'");
  struct Restore {
    std::string mode;
    ~Restore() { F().server.Execute("SET GLOBAL sql_mode = '" + mode + "'"); }
  } restore{mode};

  Feedback feedback;
  auto program = OpenProgramConnection(feedback);
  ASSERT_TRUE(program);
  Connection raw(F().server.address());
  std::vector<std::vector<std::string>> session;
  std::string error;
  ASSERT_TRUE(raw.Run("SELECT @@SESSION.sql_mode", 1, session, error)) << error;
  ASSERT_EQ(session.at(0).at(0), "NO_BACKSLASH_ESCAPES");
  // A word with a backslash (or a NUL) may now find nothing; every other word finds what it did.
  for (const std::string& mask : InjectionMasks())
    CheckMask(mask, program.get(), raw, !HasBackslashOrNul(mask));
  program->Close(feedback);
  EXPECT_EQ(TableState(), before);
}
