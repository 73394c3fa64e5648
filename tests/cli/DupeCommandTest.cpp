// kestrel-dupe against real servers: for every mask the rows of the form's own statements, in
// their order; whole names from standard input; failover, failures and the exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/DupeCommand.h"
#include "cli/DupeOptions.h"
#include "db/DupesConnection.h"
#include "db/SearchRequest.h"
#include "db/Statements.h"
#include "search/SessionLog.h"
#include "tests/support/FakeDbServer.h"
#include "tests/support/LoopbackAddress.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDbServer.h"

namespace {

const std::vector<DupeSample> kRows = {
    {"1998-02-05", "020598", "O'Neil.Tools-GRP"},
    {"1998-02-06", "020698", "Back\\Slash-GRP"},
    {"1997-03-01", "030197", "Plain.Release-GRP"},
    {"1998-07-07", "070798", "100%_Real-GRP"},
    {"1999-06-06", "060699", "a_b-GRP"},
    {"1999-07-07", "070799", "axb-GRP"},
    {"1999-03-03", "030399", "Caf\xC3\xA9.Noir-GRP"},
    {"1999-03-04", "030499", "CAFE.NOIR-GRP"},
    {"1998-12-12", "121298", "Tab\there-GRP"},
    {"1999-01-01", "010199", "Esc\x1b[31m-GRP"},
    {"2000-01-01", "010100", "Same.Day-GRP"},
    {"2000-01-01", "010100", "Same.Day.Two-GRP"},
    {"1996-05-05", "050596", "Say\"Hi\".Dated-ABC"},
};

struct Answer {
  int status = -1;
  std::string out, err;
};

// Counts lines of text.
size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

struct Servers {
  TestDbServer primary;
  LoopbackAddress refused;
  Servers() {
    primary.AddDupes(kRows);
    primary.AddGeneratedDupes(2100, "Bulk");
  }
};

Servers& S() {
  static Servers servers;
  return servers;
}

class NoFeedback : public ConnectionFeedback {
 public:
  void SetStatus(const std::string&) override {}
  int ShowMessage(const std::string&, const std::string&, unsigned) override { return 0; }
};

class DupeCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitDupesLibrary();
    S();
  }

  static DupesEndpoints Ends(const std::string& primary, const std::string& backup) {
    return TestEndpoints(primary, backup);
  }
  static DupesEndpoints Good() { return Ends(S().primary.address(), S().refused.address()); }

  // The program in this process, with input as its standard input.
  static Answer Run(const std::vector<std::string>& args, const DupesEndpoints& ends = Good(),
                    const std::string& input = "") {
    std::FILE* in = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    char* outText = nullptr;
    char* errText = nullptr;
    size_t outSize = 0, errSize = 0;
    std::FILE* out = open_memstream(&outText, &outSize);
    std::FILE* err = open_memstream(&errText, &errSize);
    Answer answer;
    answer.status = RunKestrelDupe(args, ends, "9.9", {in, out, err});
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    answer.out.assign(outText, outSize);
    answer.err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    return answer;
  }

  // What the form's statement gives, as kestrel-dupe prints it; false when the server refuses it.
  static bool FormRows(const std::string& sql, std::string& lines) {
    DupesConnection connection(Good(), "ZEBRANO", "ZEBRANO");
    NoFeedback quiet;
    if (!connection.Open(quiet) || !connection.Query(sql)) return false;
    lines.clear();
    while (connection.FetchRow())
      lines += SessionLog::Visible(connection.FieldText(2)) + " " +
               SessionLog::Visible(connection.FieldText(3)) + "\n";
    return !connection.HasError();
  }

  static std::string FormCount(const std::string& sql) {
    DupesConnection connection(Good(), "ZEBRANO", "ZEBRANO");
    NoFeedback quiet;
    std::string count;
    if (!connection.Open(quiet) || !connection.QueryCount(sql, count)) return "refused";
    return count;
  }
};

// A mask gives the rows of the form's statements in their order, however the options are written.
TEST_F(DupeCommandTest, MasksGiveTheFormsRowsInTheFormsOrder) {
  const std::vector<std::string> masks = {
      "Plain",
      "plain release",
      "O'Neil",
      "Back\\Slash",
      "100%",
      "a_b",
      "*Noir",
      "Caf\xC3\xA9",
      "cafe noir",
      "GRP & (Plain | Tools)",
      "(Slash|Noir) GRP",
      "Same.Day",
      "020598",
      "0205*",
      "Bulk !1",
      "Say\"Hi\"",
      "\xCE\xA9",
      "Tab\there",
      "x' OR 1=1 --",
      "(Plain",
      "Bulk & 7",
      "%",
      "_",
  };
  struct Way {
    std::vector<std::string> options;
    int limit;
    int order;
    bool all;
  };
  const std::vector<Way> ways = {{{}, 20, 1, false},
                                 {{"-o", "first", "-n3"}, 3, 0, false},
                                 {{"--order=last", "--limit", "7"}, 7, 1, false},
                                 {{"-a", "-o", "first"}, 0, 0, true}};
  for (const std::string& mask : masks) {
    const std::string count = FormCount(BuildDupesQuery(mask, "", "", 0, 1, true));
    for (const Way& way : ways) {
      SCOPED_TRACE(mask + " | " + std::to_string(way.limit) + " " + std::to_string(way.order));
      int limit = way.limit;
      if (way.all) limit = count == "refused" ? 0 : std::min(std::stoi(count), 2000);
      std::string expected;
      const bool served = FormRows(BuildDupesQuery(mask, "", "", limit, way.order, false), expected);
      // The mask as one word and as the words the shell splits it into, options before and after.
      std::vector<std::string> args = way.options;
      args.push_back("--");
      args.push_back(mask);
      const Answer whole = Run(args);
      if (!served) {
        EXPECT_EQ(whole.status, 2);
        EXPECT_EQ(whole.out, "");
        EXPECT_EQ(Lines(whole.err), 1u) << whole.err;
        EXPECT_NE(whole.err.find("kestrel-dupe: Cannot execute SQL! primary server " + S().primary.address() +
                                 ":3306: count query failed: MySQL error 1064"),
                  std::string::npos)
            << whole.err;
        continue;
      }
      EXPECT_EQ(whole.status, expected.empty() ? 1 : 0) << whole.err;
      EXPECT_EQ(whole.out, expected);
      EXPECT_EQ(whole.err, "");
      if (mask.find("  ") == std::string::npos && mask.find('-') == std::string::npos) {
        std::vector<std::string> split;
        for (size_t at = 0, next; at <= mask.size(); at = next + 1) {
          next = std::min(mask.find(' ', at), mask.size());
          split.push_back(mask.substr(at, next - at));
        }
        split.insert(split.end(), way.options.begin(), way.options.end());
        EXPECT_EQ(Run(split).out, expected);
      }
    }
    if (count == "refused") continue;
    const Answer counted = Run({"-c", mask});
    EXPECT_EQ(counted.out, count + "\n");
    EXPECT_EQ(counted.status, count == "0" ? 1 : 0);
  }
  // A range, both ends included, as the form writes it.
  std::string expected;
  ASSERT_TRUE(FormRows(BuildDupesQuery("GRP", "1998-02/05", "1999-03/03", 20, 0, false), expected));
  EXPECT_EQ(Run({"GRP", "-b", "02/05/1998", "03/03/1999", "-o", "first"}).out, expected);
}

TEST_F(DupeCommandTest, NoSearchFetchesMoreThanTheCap) {
  const Answer all = Run({"-a", "Bulk"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(Lines(all.out), 2000u);
  EXPECT_EQ(Lines(Run({"-n", "5000", "Bulk"}).out), 2000u);
  EXPECT_EQ(Lines(Run({"-n", "1999", "Bulk"}).out), 1999u);
  EXPECT_EQ(Run({"--count", "Bulk"}).out, "2100\n");
  // With -v the steps, the cap and the summary go to standard error, never to the answer.
  const Answer told = Run({"-v", "-a", "Bulk"});
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
      "plain.release-grp\r\n"  // CR LF, and the case of the collation
      "O'Neil.Tools-GRP\n"
      "\n"
      "Back\\Slash-GRP\n"
      "Plain.Release\n"  // a part of a name is no name
      "cafe.noir-grp";   // the last line without its LF
  const Answer found = Run({"--exact", "-o", "first", "-", "Same.Day-GRP"}, Good(), input);
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(found.out,
            "030197 Plain.Release-GRP\n020598 O'Neil.Tools-GRP\n020698 Back\\Slash-GRP\n"
            "030399 Caf\xC3\xA9.Noir-GRP\n030499 CAFE.NOIR-GRP\n010100 Same.Day-GRP\n");
  EXPECT_EQ(Run({"--exact", "-c", "-"}, Good(), input).out, "5\n");
  EXPECT_EQ(Run({"--exact", "-n", "2", "-"}, Good(), input).out,
            "030499 CAFE.NOIR-GRP\n030399 Caf\xC3\xA9.Noir-GRP\n");

  for (const std::string& none : {std::string("Nothing.Like.It\nx' OR '1'='1\n"), std::string()}) {
    const Answer missed = Run({"--exact", "-"}, Good(), none);
    EXPECT_EQ(missed.status, 1);
    EXPECT_EQ(missed.out + missed.err, "");
  }
  // A thousand names in one check.
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "Bulk." + std::to_string(i * 3) + "-GRP\n";
  EXPECT_EQ(Run({"--exact", "-c", "-"}, Good(), many).out, "700\n");
}

// Every entry a JSON object a parser reads back to the server's texts, escaped as in the log.
TEST_F(DupeCommandTest, JsonReadsBackWithAParser) {
  TempDir dir;
  auto parsed = [&](const std::string& json) {
    WriteWholeFile(dir.file("out.json"), json);
    const std::string script =
        "import json,sys\n"
        "for line in open(sys.argv[1], encoding='utf-8'):\n"
        "  o = json.loads(line)\n"
        "  print('\\t'.join(str(o[k]) for k in sorted(o)))\n";
    WriteWholeFile(dir.file("check.py"), script);
    std::FILE* pipe = ::popen(("python3 " + dir.file("check.py") + " " + dir.file("out.json")).c_str(), "r");
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << json;
    return text;
  };
  const Answer json = Run({"--json", "-o", "first", "Esc|Tab|Say|O'Neil|Slash|Caf"});
  EXPECT_EQ(json.status, 0);
  // Keys sorted: date, date_str, dir, id.
  EXPECT_EQ(parsed(json.out),
            "1996-05-05\t050596\tSay\"Hi\".Dated-ABC\t13\n"
            "1998-02-05\t020598\tO'Neil.Tools-GRP\t1\n"
            "1998-02-06\t020698\tBack\\Slash-GRP\t2\n"
            "1998-12-12\t121298\tTab\\x09here-GRP\t9\n"
            "1999-01-01\t010199\tEsc\\x1b[31m-GRP\t10\n"
            "1999-03-03\t030399\tCaf\xC3\xA9.Noir-GRP\t7\n"
            "1999-03-04\t030499\tCAFE.NOIR-GRP\t8\n");
  EXPECT_EQ(parsed(Run({"--json", "-c", "Bulk"}).out), "2100\t2113\n");

  // A server that sends what no honest one does: bytes that are no UTF-8, an id that is no number.
  FakeDbServer fake([](const std::string& query) {
    if (query.rfind("SELECT COUNT(*)", 0) == 0) return FakeDbServer::Rows({"c"}, {{"1"}});
    return FakeDbServer::Rows({"i", "d", "s", "n"},
                              {{"x\"y", "2001-01-01", "\xff\x01", "\xC3\x28\"\\\xE2\x82"}});
  });
  const Answer odd = Run({"--json", "odd"}, Ends(fake.address(), S().refused.address()));
  EXPECT_EQ(odd.status, 0) << odd.err;
  EXPECT_EQ(parsed(odd.out), "2001-01-01\t\\xff\\x01\t\\xc3(\"\\\\xe2\\x82\tNone\n");
}

TEST_F(DupeCommandTest, FailoverAndFailuresAreOneLineAndStatusTwo) {
  // The primary refuses: the backup answers, as in the form, and nothing is said about it.
  const Answer failover = Run({"-v", "Plain"}, Ends(S().refused.address(), S().primary.address()));
  EXPECT_EQ(failover.status, 0);
  EXPECT_EQ(failover.out, "030197 Plain.Release-GRP\n");
  EXPECT_EQ(failover.err.find("Testing Database Availability\nTesting Backup Database Availability\n"
                              "Connecting to Backup Database\n"),
            0u)
      << failover.err;

  LoopbackAddress other;
  const Answer down = Run({"Plain"}, Ends(S().refused.address(), other.address()));
  EXPECT_EQ(down.status, 2);
  EXPECT_EQ(down.out, "");
  EXPECT_EQ(down.err, "kestrel-dupe: Neither database available! primary server " + S().refused.address() +
                          ":3306: probe failed: Connection refused (errno 111); backup server " +
                          other.address() + ":6033: probe failed: Connection refused (errno 111)\n");

  // A server that fails one statement: the step and the server's own words in the one line.
  struct Failing {
    std::string step;
    std::string statement;  // the start of the statement that fails
  };
  for (const Failing& f :
       {Failing{"count query", "SELECT COUNT(*) FROM DUPES WHERE"}, Failing{"row query", "SELECT DUPES_ID"},
        Failing{"total count query", "SELECT COUNT(*) FROM DUPES"}}) {
    SCOPED_TRACE(f.step);
    FakeDbServer fake([&](const std::string& query) {
      const bool total = query == kTotalCountQuery;
      if (query.rfind(f.statement, 0) == 0 && total == (f.step == "total count query"))
        return FakeDbServer::Error("Table 'DUPES' is marked as crashed");
      if (query.rfind("SELECT COUNT(*)", 0) == 0) return FakeDbServer::Rows({"c"}, {{"1"}});
      return FakeDbServer::Rows({"i", "d", "s", "n"}, {{"1", "2001-01-01", "010101", "Some-GRP"}});
    });
    const Answer failed = Run({"-v", "Some"}, Ends(fake.address(), S().refused.address()));
    EXPECT_EQ(failed.status, 2);
    const std::string line = "\nkestrel-dupe: Cannot execute SQL! primary server " + fake.address() +
                             ":3306: " + f.step +
                             " failed: MySQL error 1064: Table 'DUPES' is marked as crashed\n";
    EXPECT_NE(failed.err.find(line), std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.find("kestrel-dupe:"), failed.err.rfind("kestrel-dupe:")) << failed.err;
    // Rows that came before a failed total are printed; a failed count or row query prints none.
    EXPECT_EQ(failed.out, f.step == "total count query" ? "010101 Some-GRP\n" : "");
  }
}

// Bad usage is refused with its reason before any server is asked; --help and --version answer.
TEST_F(DupeCommandTest, UsageErrorsHelpAndVersion) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{}, "You must specify a search mask!"},
      {{"-n", "0", "foo"}, "--limit 0: Amount to search for must be positive!"},
      {{"--limit=-3", "foo"}, "--limit -3: Amount to search for must be positive!"},
      {{"-n", "5x", "foo"}, "-n wants a whole number, not '5x'"},
      {{"-n", "99999999999", "foo"}, "-n wants a whole number"},
      {{"foo", "-n"}, "option -n needs a value"},
      {{"-o", "newest", "foo"}, "-o wants first or last, not 'newest'"},
      {{"-b", "13/01/1998", "12/31/1998", "foo"}, "-b 13/01/1998: Start Date Invalid"},
      {{"-b", "01/01/1998", "12/32/1998", "foo"}, "-b 12/32/1998: End Date Invalid"},
      {{"-b", "1/1/1998", "12/31/1998", "foo"}, "Start Date Invalid (MM/DD/YYYY)"},
      {{"--between", "01/01/1998"}, "option --between needs a value"},
      {{"--exact"}, "--exact wants at least one NAME"},
      {{"--local", "foo"}, "--local: the local index is not available in this build"},
      {{"--sync"}, "--sync: the local index is not available in this build"},
      {{"--verbos", "foo"}, "unknown option --verbos"},
      {{"-ax", "foo"}, "unknown option -x"},
      {{"--count=1", "foo"}, "option --count takes no value"},
  };
  for (const auto& [args, reason] : refused) {
    SCOPED_TRACE(reason);
    const Answer answer = Run(args, Ends(S().refused.address(), S().refused.address()));
    EXPECT_EQ(answer.status, 2);
    EXPECT_EQ(answer.out, "");
    EXPECT_EQ(answer.err.rfind("kestrel-dupe: ", 0), 0u) << answer.err;
    EXPECT_NE(answer.err.find(reason), std::string::npos) << answer.err;
    EXPECT_EQ(Lines(answer.err), 1u) << answer.err;
  }
  // Options bundle and mix with the words; "--" ends them; --server is the default.
  DupeOptions options;
  std::string error;
  ASSERT_TRUE(
      ParseDupeOptions({"a", "-acvn5", "--server", "--json", "b", "--", "-c", "--x"}, options, error));
  EXPECT_EQ(options.mask, "a b -c --x");
  EXPECT_TRUE(options.all && options.count && options.verbose && options.json);
  EXPECT_EQ(options.limit, 5);
  ASSERT_TRUE(ParseDupeOptions({"--exact", "-", "-b02/05/1998", "12/31/1998", "x"}, options, error));
  EXPECT_EQ(options.names, (std::vector<std::string>{"-", "x"}));
  EXPECT_EQ(options.startBound + " " + options.endBound, "1998-02/05 1998-12/31");

  const Answer help = Run({"foo", "--help", "--bogus"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: kestrel-dupe [OPTION]... MASK...\n", 0), 0u);
  const Answer version = Run({"--version"}, Ends("192.0.2.10", "192.0.2.11"));
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out,
            "kestrel-dupe 9.9\nprimary server 192.0.2.10 (probed on port 3306)\n"
            "backup server 192.0.2.11 (probed on port 6033)\n");
}

}  // namespace
