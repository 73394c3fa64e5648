// kestrel-dupe against real servers: for every mask the rows of the form's own statements, in
// their order; whole names from standard input; failover, failures and the exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/DupeCommand.h"
#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "db/Statements.h"
#include "platform/ServerText.h"
#include "tests/support/FakeDbServer.h"
#include "tests/support/SharedDbServer.h"
#include "tests/support/TempDir.h"

namespace {

// Inserted in this order: DUPES_ID 1 to 13.
// clang-format off
const std::vector<DupeSample> kRows = {
    {"1998-02-05", "020598", "O'Neil.Tools-GRP"}, {"1998-02-06", "020698", "Back\\Slash-GRP"},
    {"1997-03-01", "030197", "Plain.Release-GRP"}, {"1998-07-07", "070798", "100%_Real-GRP"},
    {"1999-06-06", "060699", "a_b-GRP"}, {"1999-07-07", "070799", "axb-GRP"},
    {"1999-03-03", "030399", "Caf\xC3\xA9.Noir-GRP"}, {"1999-03-04", "030499", "CAFE.NOIR-GRP"},
    {"1998-12-12", "121298", "Tab\there-GRP"}, {"1999-01-01", "010199", "Esc\x1b[31m-GRP"},
    {"2000-01-01", "010100", "Same.Day-GRP"}, {"2000-01-01", "010100", "Same.Day.Two-GRP"},
    {"1996-05-05", "050596", "Say\"Hi\".Dated-ABC"}};
// clang-format on

struct Answer {
  int status = -1;
  std::string out, err;
};

SharedDbServer sharedPrimary("primary", [](TestDbServer& s) {
  s.AddDupes(kRows);
  s.AddGeneratedDupes(2100, "Bulk");
});

struct Servers {
  TestDbServer& primary = *sharedPrimary;
  LoopbackAddress refused;
};

Servers& S() {
  static Servers servers;
  return servers;
}

DupesEndpoints Ends(const std::string& primary, const std::string& backup) {
  return TestEndpoints(primary, backup);
}

DupesEndpoints Good() {
  return Ends(S().primary.address(), S().refused.address());
}

// The program in this process, with input as its standard input.
Answer Dupe(const std::vector<std::string>& args, const DupesEndpoints& ends = Good(),
            const std::string& input = "") {
  std::FILE* in = std::tmpfile();
  std::fputs(input.c_str(), in);
  std::rewind(in);
  char *out = nullptr, *err = nullptr;
  size_t outSize = 0, errSize = 0;
  std::FILE* outFile = open_memstream(&out, &outSize);
  std::FILE* errFile = open_memstream(&err, &errSize);
  Answer answer;
  answer.status = RunKestrelDupe(args, ends, "9.9", {in, outFile, errFile});
  for (std::FILE* file : {in, outFile, errFile}) std::fclose(file);
  answer.out.assign(out, outSize);
  answer.err.assign(err, errSize);
  std::free(out);
  std::free(err);
  return answer;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Quiet : public ConnectionFeedback {
 public:
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return 0; }
};

// What the form's statement gives, printed as the session log writes rows; false when refused.
bool FormRows(const std::string& sql, std::string& lines, std::string* count = nullptr) {
  DupesConnection connection(Good(), "ZEBRANO", "ZEBRANO");
  Quiet quiet;
  if (!connection.Open(quiet)) return false;
  if (count) return connection.QueryCount(sql, *count);
  if (!connection.Query(sql)) return false;
  for (lines.clear(); connection.FetchRow();)
    lines +=
        EscapedServerText(connection.FieldText(2)) + " " + EscapedServerText(connection.FieldText(3)) + "\n";
  return !connection.HasError();
}

class DupeCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    S();
  }
};

// A mask gives the rows of the form's statements in their order, whatever the options.
TEST_F(DupeCommandTest, MasksGiveTheFormsRowsInTheFormsOrder) {
  // clang-format off
  const char* masks[] = {"Plain", "plain release", "O'Neil", "Back\\Slash", "100%", "a_b", "*Noir",
                         "Caf\xC3\xA9", "cafe noir", "GRP & (Plain | Tools)", "(Slash|Noir)GRP", "020598",
                         "0205*", "Bulk !1", "Say\"Hi\"", "\xCE\xA9", "Tab\there", "x' OR 1=1 --", "(Plain",
                         "Bulk & 7", "_"};
  // clang-format on
  struct Way {
    std::vector<std::string> options;
    int limit, order;
  };
  const Way ways[] = {{{}, 20, 1},
                      {{"-o", "first", "-n3"}, 3, 0},
                      {{"--limit=7", "--order", "last"}, 7, 1},
                      {{"-a", "-o", "first"}, -1, 0}};
  for (const char* mask : masks) {
    std::string count = "refused", expected;
    FormRows(BuildDupesQuery(mask, "", "", 0, 1, true), expected, &count);
    for (const Way& way : ways) {
      SCOPED_TRACE(std::string(mask) + " limit " + std::to_string(way.limit));
      const int limit = way.limit >= 0       ? way.limit
                        : count == "refused" ? 0
                                             : std::min(std::stoi(count), 2000);
      const bool served = FormRows(BuildDupesQuery(mask, "", "", limit, way.order, false), expected);
      std::vector<std::string> args = way.options;
      args.insert(args.end(), {"--", mask});
      const Answer answer = Dupe(args);
      if (!served) {
        EXPECT_EQ(answer.status, 2);
        EXPECT_EQ(answer.out, "");
        EXPECT_EQ(
            answer.err.rfind("kestrel-dupe: Cannot execute SQL! primary server " + S().primary.address() +
                                 ":3306: count query failed: MySQL error 1064: ",
                             0),
            0u)
            << answer.err;
        EXPECT_EQ(Count(answer.err, "\n"), 1u);
        continue;
      }
      EXPECT_EQ(answer.out, expected);
      EXPECT_EQ(answer.status, expected.empty() ? 1 : 0) << answer.err;
      EXPECT_EQ(answer.err, "");
    }
    if (count != "refused") {
      EXPECT_EQ(Dupe({"-c", mask}).out, count + "\n");
    }
  }
  // Words after options are one mask, and a range includes both ends, as in the form.
  std::string expected;
  ASSERT_TRUE(FormRows(BuildDupesQuery("GRP a", "1998-02/05", "1999-07/07", 20, 0, false), expected));
  EXPECT_EQ(Dupe({"GRP", "-b", "02/05/1998", "07/07/1999", "-o", "first", "a"}).out, expected);
}

TEST_F(DupeCommandTest, NoSearchFetchesMoreThanTheCap) {
  const Answer all = Dupe({"-a", "Bulk"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(Count(all.out, "\n"), 2000u);
  EXPECT_EQ(Count(Dupe({"-n", "5000", "Bulk"}).out, "\n"), 2000u);
  EXPECT_EQ(Dupe({"--count", "Bulk"}).out, "2100\n");
  // -v: the form's steps, the cap and the summary on standard error, never in the answer.
  const Answer told = Dupe({"-va", "Bulk"});
  EXPECT_EQ(told.out, all.out);
  EXPECT_EQ(
      told.err,
      "Testing Database Availability\nConnecting to Database\nFinding number of entries matching mask\n"
      "Only retrieving up to 2000 entries\nRetrieving requested entries\nCounting total entries in "
      "database\nQuery Completed\nDisconnecting from database\n2000 of 2100 items retrieved (2113 total)\n");
}

// Whole names from the arguments and standard input, compared as the server's collation says.
TEST_F(DupeCommandTest, ExactNamesFromStandardInput) {
  const std::string input =
      "plain.release-grp\r\nO'Neil.Tools-GRP\n\nBack\\Slash-GRP\nPlain.Release\ncafe.noir-grp";
  const Answer found = Dupe({"--exact", "-o", "first", "-", "Same.Day-GRP"}, Good(), input);
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(found.out,
            "030197 Plain.Release-GRP\n020598 O'Neil.Tools-GRP\n020698 Back\\\\Slash-GRP\n"
            "030399 Caf\xC3\xA9.Noir-GRP\n030499 CAFE.NOIR-GRP\n010100 Same.Day-GRP\n");
  EXPECT_EQ(Dupe({"--exact", "-c", "-"}, Good(), input).out, "5\n");
  EXPECT_EQ(Dupe({"--exact", "-n", "2", "-"}, Good(), input).out,
            "030499 CAFE.NOIR-GRP\n030399 Caf\xC3\xA9.Noir-GRP\n");
  for (const char* none : {"Nothing.Like.It\nx' OR '1'='1\n", ""}) {
    const Answer missed = Dupe({"--exact", "-"}, Good(), none);
    EXPECT_EQ(missed.status, 1);
    EXPECT_EQ(missed.out + missed.err, "");
  }
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "Bulk." + std::to_string(i * 3) + "-GRP\n";
  EXPECT_EQ(Dupe({"--exact", "-c", "-"}, Good(), many).out, "700\n");
}

// Every entry a JSON object that a parser reads back to the server's texts, escaped as in the log.
TEST_F(DupeCommandTest, JsonReadsBackWithAParser) {
  TempDir dir;
  WriteWholeFile(dir.file("read.py"),
                 "import json,sys\nfor line in open(sys.argv[1], encoding='utf-8'):\n"
                 "  o = json.loads(line)\n  print('|'.join(str(o[k]) for k in sorted(o)))\n");
  auto parsed = [&](const std::string& json) {
    WriteWholeFile(dir.file("out.json"), json);
    std::FILE* pipe = ::popen(("python3 " + dir.file("read.py") + " " + dir.file("out.json")).c_str(), "r");
    std::string text;
    for (int c; (c = std::fgetc(pipe)) != EOF;) text += char(c);
    EXPECT_EQ(::pclose(pipe), 0) << json;
    return text;
  };
  EXPECT_EQ(parsed(Dupe({"--json", "-o", "first", "Esc|Tab|Say|Slash|Caf"}).out),
            "1996-05-05|050596|Say\"Hi\".Dated-ABC|13\n1998-02-06|020698|Back\\\\Slash-GRP|2\n"
            "1998-12-12|121298|Tab\\x09here-GRP|9\n1999-01-01|010199|Esc\\x1b[31m-GRP|10\n"
            "1999-03-03|030399|Caf\xC3\xA9.Noir-GRP|7\n1999-03-04|030499|CAFE.NOIR-GRP|8\n");
  EXPECT_EQ(parsed(Dupe({"--json", "-c", "Bulk"}).out), "2100|2113\n");
  // What no honest server sends: bytes that are no UTF-8, an id that is no number.
  FakeDbServer fake([](const std::string& query) {
    if (query.rfind("SELECT COUNT(*)", 0) == 0) return FakeDbServer::Rows({"c"}, {{"1"}});
    return FakeDbServer::Rows({"i", "d", "s", "n"},
                              {{"x\"y", "2001-01-01", "\xff\x01", "\xC3\x28\"\\\xE2\x82"}});
  });
  EXPECT_EQ(parsed(Dupe({"--json", "odd"}, Ends(fake.address(), S().refused.address())).out),
            "2001-01-01|\\xff\\x01|\\xc3(\"\\\\\\xe2\\x82|None\n");
}

TEST_F(DupeCommandTest, FailoverAndFailuresAreOneLineAndStatusTwo) {
  // The primary refuses: the backup answers, as in the form, and no error is said.
  const Answer failover = Dupe({"-v", "Plain"}, Ends(S().refused.address(), S().primary.address()));
  EXPECT_EQ(failover.status, 0);
  EXPECT_EQ(failover.out, "030197 Plain.Release-GRP\n");
  EXPECT_EQ(failover.err.find("Testing Database Availability\nTesting Backup Database Availability\n"
                              "Connecting to Backup Database\n"),
            0u)
      << failover.err;
  EXPECT_EQ(Count(failover.err, "kestrel-dupe:"), 0u);

  LoopbackAddress other;
  const Answer down = Dupe({"Plain"}, Ends(S().refused.address(), other.address()));
  EXPECT_EQ(down.status, 2);
  EXPECT_EQ(down.out, "");
  EXPECT_EQ(down.err, "kestrel-dupe: Neither database available! primary server " + S().refused.address() +
                          ":3306: probe failed: Connection refused (errno 111); backup server " +
                          other.address() + ":6033: probe failed: Connection refused (errno 111)\n");

  // A server that fails one statement: the step and the server's own words, in the one line.
  for (const std::string step : {"count query", "row query", "total count query"}) {
    SCOPED_TRACE(step);
    FakeDbServer fake([&](const std::string& query) {
      const std::string which = query == kTotalCountQuery                ? "total count query"
                                : query.rfind("SELECT COUNT(*)", 0) == 0 ? "count query"
                                                                         : "row query";
      if (which == step) return FakeDbServer::Error("Table 'DUPES' is marked as crashed");
      if (which != "row query") return FakeDbServer::Rows({"c"}, {{"1"}});
      return FakeDbServer::Rows({"i", "d", "s", "n"}, {{"1", "2001-01-01", "010101", "Some-GRP"}});
    });
    const Answer failed = Dupe({"-v", "Some"}, Ends(fake.address(), S().refused.address()));
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(
        failed.err.find("\nkestrel-dupe: Cannot execute SQL! primary server " + fake.address() +
                        ":3306: " + step + " failed: MySQL error 1064: Table 'DUPES' is marked as crashed\n"),
        std::string::npos)
        << failed.err;
    EXPECT_EQ(Count(failed.err, "kestrel-dupe:"), 1u);
    // Rows that came before a failed total are printed; a failed count or row query prints none.
    EXPECT_EQ(failed.out, step == "total count query" ? "010101 Some-GRP\n" : "");
  }
}

// Bad usage is refused with its reason before any server is asked; --help and --version answer.
TEST_F(DupeCommandTest, UsageErrorsHelpAndVersion) {
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{}, "You must specify a search mask!"},
      {{"--limit=-3", "foo"}, "--limit -3: Amount to search for must be positive!"},
      {{"-n", "5x", "foo"}, "-n wants a whole number, not '5x'"},
      {{"foo", "-n"}, "option -n needs a value"},
      {{"-o", "newest", "foo"}, "-o wants first or last, not 'newest'"},
      {{"-b", "13/01/1998", "12/31/1998", "foo"},
       "-b 13/01/1998: Start Date Invalid (MM/DD/YYYY, month 01-12, day 01-31)"},
      {{"-b", "01/01/1998", "2/3/1998", "foo"},
       "-b 2/3/1998: End Date Invalid (MM/DD/YYYY, month 01-12, day 01-31)"},
      {{"--exact"}, "--exact wants at least one NAME, or - to read names from standard input"},
      {{"--local", "--sync"}, "--sync: only one of --server, --local and --sync"},
      {{"--sync", "foo"}, "--sync takes no mask and no names"},
      {{"-ax", "foo"}, "unknown option -x"},
      {{"--count=1", "foo"}, "option --count takes no value"},
  };
  for (const auto& [args, reason] : refused) {
    const Answer answer = Dupe(args, Ends(S().refused.address(), S().refused.address()));
    EXPECT_EQ(answer.status, 2) << reason;
    EXPECT_EQ(answer.out, "");
    EXPECT_EQ(answer.err, "kestrel-dupe: " + reason + "; see kestrel-dupe --help\n");
  }
  const Answer help = Dupe({"foo", "--help", "--bogus"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: kestrel-dupe [OPTION]... MASK...\n", 0), 0u);
  const Answer version = Dupe({"--version"}, Ends("192.0.2.10", "192.0.2.11"));
  EXPECT_EQ(version.out,
            "kestrel-dupe 9.9\nprimary server 192.0.2.10 (probed on port 3306)\n"
            "backup server 192.0.2.11 (probed on port 6033)\n");
}

}  // namespace
