#include "index/CollationProbe.h"

#include <cstdint>
#include <vector>

#include "db/DupesConnection.h"

namespace {

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

// The same for an answer that is nothing.
std::nullopt_t Refuse(std::string* why, const std::string& text) {
  Fail(why, text);
  return std::nullopt;
}

// The charset part of a collation name the server reported: "utf8mb4" of "utf8mb4_general_ci".
std::string CharsetOf(const std::string& collation) {
  return collation.substr(0, collation.find('_'));
}

// A row per code point: cp, whether the column's set holds it (the character comes back from
// it unchanged) and the hex of its weight.
std::string WeightSelect(const std::string& codePoints, const std::string& collation) {
  const std::string charset = CharsetOf(collation);
  const std::string ch = "CHAR(cp USING utf32)";
  const std::string converted = "CONVERT(" + ch + " USING " + charset + ")";
  return "SELECT cp, HEX(CONVERT(" + converted + " USING utf32)) = HEX(" + ch + "), HEX(WEIGHT_STRING(" +
         converted + " COLLATE " + collation + ")) FROM (" + codePoints + ") points ORDER BY cp";
}

bool HexValue(const std::string& hex, uint32_t& value) {
  value = 0;
  if (hex.empty() || hex.size() > 6) return false;
  for (char c : hex) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return false;
    value = value * 16 + uint32_t(digit);
  }
  return true;
}

struct Row {
  uint32_t cp;
  bool held;
  uint32_t weight;
};

// Reads the rows of a WeightSelect; every held character's weight must be width hex digits
// (the first one sets it).
bool ReadWeights(DupesConnection& connection, const std::string& sql, size_t& width, std::vector<Row>& rows,
                 std::string* why) {
  if (!connection.Query(sql)) return Fail(why, "the weights: " + connection.LastError());
  while (connection.FetchRow()) {
    Row row{};
    uint32_t cp = 0;
    const std::string hex = connection.FieldText(2);
    const std::string point = connection.FieldText(0);
    for (char c : point) cp = cp * 10 + uint32_t(c - '0');
    row.cp = cp;
    row.held = connection.FieldText(1) == "1";
    if (row.held) {
      if (width == 0) width = hex.size();
      if (hex.size() != width || !HexValue(hex, row.weight)) {
        connection.ReleaseResult();
        return Fail(why, "a weight of another width: U+" + point + " " + hex);
      }
    }
    rows.push_back(row);
  }
  const bool failed = connection.HasError();
  connection.ReleaseResult();
  if (failed) return Fail(why, "the weights: " + connection.LastError());
  return true;
}

}  // namespace

bool IsOneWeightCollation(const std::string& name) {
  static const char* const kNames[] = {"latin1_swedish_ci",  "latin1_general_ci", "latin1_bin",
                                       "utf8mb3_general_ci", "utf8_general_ci",   "utf8mb4_general_ci",
                                       "utf8mb3_bin",        "utf8_bin",          "utf8mb4_bin"};
  for (const char* known : kNames)
    if (name == known) return true;
  return false;
}

std::optional<std::string> ProbeCollationName(DupesConnection& connection, std::string* why) {
  std::string collation, dateCollation;
  if (!connection.Query(
          "SELECT COLUMN_NAME, COLLATION_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
          "DATABASE() AND TABLE_NAME = 'DUPES' AND COLUMN_NAME IN ('DUPES_DIR', 'DUPES_DATE_STR')"))
    return Refuse(why, "the columns: " + connection.LastError());
  while (connection.FetchRow())
    (connection.FieldText(0) == "DUPES_DIR" ? collation : dateCollation) = connection.FieldText(1);
  connection.ReleaseResult();
  if (collation.empty() || dateCollation.empty())
    return Refuse(why, "the columns' collations are not reported");
  if (collation != dateCollation)
    return Refuse(why, "the columns differ: " + collation + " and " + dateCollation);
  if (!IsOneWeightCollation(collation)) return Refuse(why, "collation " + collation + " is not held");

  // The search statements' literals: a backslash must be an escape in them, they must take the
  // names' character set, and the names must come back as UTF-8.
  if (!connection.Query("SELECT @@sql_mode LIKE '%NO_BACKSLASH_ESCAPES%', @@character_set_connection, "
                        "@@character_set_results") ||
      !connection.FetchRow()) {
    connection.ReleaseResult();
    return Refuse(why, "the session: " + connection.LastError());
  }
  const std::string noEscapes = connection.FieldText(0), literals = connection.FieldText(1),
                    results = connection.FieldText(2);
  connection.ReleaseResult();
  if (noEscapes != "0") return Refuse(why, "backslashes are not escapes");
  const std::string charset = CharsetOf(collation);
  const auto same = [](const std::string& a, const std::string& b) {
    return a == b || ((a == "utf8" || a == "utf8mb3") && (b == "utf8" || b == "utf8mb3"));
  };
  if (!same(literals, charset)) return Refuse(why, "literals are " + literals + ", the names " + charset);
  if (results != "utf8mb4" && !same(results, charset == "latin1" ? "utf8mb4" : charset))
    return Refuse(why, "results come as " + results);

  return collation;
}

std::optional<Collation> ProbeCollation(DupesConnection& connection, std::string* why) {
  const std::optional<std::string> name = ProbeCollationName(connection, why);
  if (!name) return std::nullopt;
  const std::string& collation = *name;
  // Every code point of the BMP but the surrogates: four nested digits of sixteen, as recursion
  // is bounded by the server.
  size_t width = 0;
  std::vector<Row> rows;
  const std::string bmp =
      "WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 15) "
      "SELECT a.n * 4096 + b.n * 256 + c.n * 16 + e.n AS cp FROM d a, d b, d c, d e";
  if (!ReadWeights(connection, WeightSelect(bmp, collation) + "", width, rows, why)) return std::nullopt;
  std::vector<uint32_t> weights(0x10000, Collation::kNotHeld);
  size_t seen = 0;
  for (const Row& row : rows) {
    if (row.cp >= weights.size()) return Refuse(why, "a code point out of range");
    ++seen;
    if (row.held && !(row.cp >= 0xD800 && row.cp <= 0xDFFF)) weights[row.cp] = row.weight;
  }
  if (seen != 0x10000 || width == 0) return Refuse(why, "not every code point has its weight");

  // Past the BMP: a sample decides whether none is held, each weighs itself or all weigh one.
  rows.clear();
  const std::string beyond =
      "SELECT 65536 AS cp UNION ALL SELECT 66000 UNION ALL SELECT 128512 UNION ALL SELECT 131072 UNION ALL "
      "SELECT 983040 UNION ALL SELECT 1114111";
  if (!ReadWeights(connection, WeightSelect(beyond, collation), width, rows, why)) return std::nullopt;
  if (rows.size() != 6) return Refuse(why, "the sample past the BMP is short");
  bool anyHeld = false, allHeld = true, identity = true, constant = true;
  for (const Row& row : rows) {
    anyHeld |= row.held;
    allHeld &= row.held;
    identity &= row.weight == row.cp;
    constant &= row.weight == rows.front().weight;
  }
  if (!anyHeld) return Collation(collation, std::move(weights), Collation::Beyond::NotHeld);
  if (!allHeld) return Refuse(why, "only some characters past the BMP are held");
  if (identity) return Collation(collation, std::move(weights), Collation::Beyond::CodePoint);
  if (constant)
    return Collation(collation, std::move(weights), Collation::Beyond::Constant, rows.front().weight);
  return Refuse(why, "characters past the BMP weigh as not reproduced here");
}
