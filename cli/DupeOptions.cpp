#include "cli/DupeOptions.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "cli/DupeOutput.h"
#include "db/SearchRequest.h"
#include "platform/Diagnostics.h"
#include "res/Texts.h"

const char kDupeUsage[] =
    "Usage: kestrel-dupe [OPTION]... MASK...\n"
    "  or:  kestrel-dupe --exact [OPTION]... NAME...\n"
    "  or:  kestrel-dupe --sync [-v]\n"
    "Looks entries up in the dupe database as Kestrel's search form does. The words form one\n"
    "mask, as typed in the form; with --exact each NAME is a whole directory name, and NAME '-'\n"
    "reads one name a line from standard input.\n"
    "\n"
    "  -n, --limit N          entries to retrieve (default 20)\n"
    "  -a, --all              every match (at most 2000)\n"
    "  -o, --order first|last FIRST->LAST or LAST->FIRST (default last)\n"
    "  -b, --between FROM TO  a date range, each date MM/DD/YYYY\n"
    "  -c, --count            print only the number of matching entries\n"
    "      --json             one JSON object a line instead of text\n"
    "  -v, --verbose          each status step, and the summary, on standard error\n"
    "      --server           ask the servers, never the local copy\n"
    "      --local            answer from the local copy alone, without a server\n"
    "      --sync             build or bring up to date the local copy, then exit\n"
    "      --help             this text\n"
    "      --version          the version and the servers of this build\n"
    "\n"
    "Mask: a word matches anywhere in a directory name, or a whole date string (MMDDYY);\n"
    "blanks and & join words with AND, | is OR, brackets group, * is any run of characters.\n"
    "Output: DATE_STR DIR, one entry a line. Exit status: 0 when something matched, 1 when\n"
    "nothing did, 2 on an error. See kestrel-dupe(1).\n";

namespace {

const char kDateForm[] = " (MM/DD/YYYY, month 01-12, day 01-31)";

// MM/DD/YYYY as the form's date box holds it when complete, and valid as the form checks it.
bool IsDate(const std::string& text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return false;
  for (size_t i : {0, 1, 3, 4, 6, 7, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  return IsValidMonthDay(text);
}

bool ParseLimit(const std::string& text, int32_t& value) {
  if (text.empty() || text.size() > 12) return false;
  size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t k = i; k < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') return false;
  const long long number = std::strtoll(text.c_str(), nullptr, 10);
  if (number < INT32_MIN || number > INT32_MAX) return false;
  value = static_cast<int32_t>(number);
  return true;
}

class Parser {
 public:
  Parser(const std::vector<std::string>& args, DupeOptions& options) : m_args(args), m_options(options) {}

  bool Run(std::string& error) {
    std::vector<std::string> operands;
    bool optionsEnd = false;
    for (m_next = 0; m_next < m_args.size() && m_options.action == DupeOptions::Action::Check;) {
      const std::string& arg = m_args[m_next++];
      if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
        operands.push_back(arg);
      } else if (arg == "--") {
        optionsEnd = true;
      } else if (arg[1] == '-') {
        if (!Long(arg)) break;
      } else if (!Shorts(arg)) {
        break;
      }
    }
    if (m_error.empty() && m_options.action == DupeOptions::Action::Check) Finish(operands);
    error = m_error;
    return m_error.empty();
  }

 private:
  bool Fail(const std::string& why) {
    m_error = why;
    return false;
  }

  // The next argument as the value of option; attached is a value given with it (-n5, --limit=5).
  bool Value(const std::string& option, const char* attached, std::string& value) {
    if (attached) {
      value = attached;
      return true;
    }
    if (m_next == m_args.size()) return Fail("option " + option + " needs a value");
    value = m_args[m_next++];
    return true;
  }

  // What option letter (or long name) does; attached as for Value.
  bool Apply(const std::string& name, const char* attached) {
    const std::string option = name.size() == 1 ? "-" + name : "--" + name;
    std::string value;
    if (name == "n" || name == "limit") {
      if (!Value(option, attached, value)) return false;
      if (!ParseLimit(value, m_options.limit))
        return Fail(option + " wants a whole number, not '" + value + "'");
      m_limitText = value;
    } else if (name == "o" || name == "order") {
      if (!Value(option, attached, value)) return false;
      if (value != "first" && value != "last")
        return Fail(option + " wants first or last, not '" + value + "'");
      m_options.order = value == "first" ? 0 : 1;
    } else if (name == "b" || name == "between") {
      std::string to;
      if (!Value(option, attached, value) || !Value(option, nullptr, to)) return false;
      if (!IsDate(value)) return Fail(option + " " + value + ": " + kTextStartInvalid + kDateForm);
      if (!IsDate(to)) return Fail(option + " " + to + ": " + kTextEndInvalid + kDateForm);
      m_options.startBound = ToSqlDate(value);
      m_options.endBound = ToSqlDate(to);
    } else if (attached) {
      return Fail("option " + option + " takes no value");
    } else if (name == "a" || name == "all") {
      m_options.all = true;
    } else if (name == "c" || name == "count") {
      m_options.count = true;
    } else if (name == "v" || name == "verbose") {
      m_options.verbose = true;
    } else if (name == "json") {
      m_options.json = true;
    } else if (name == "exact") {
      m_options.exact = true;
    } else if (name == "server" || name == "local" || name == "sync") {
      const auto source = name == "server"  ? DupeOptions::Source::Server
                          : name == "local" ? DupeOptions::Source::Local
                                            : DupeOptions::Source::Sync;
      if (m_options.source != DupeOptions::Source::Auto && m_options.source != source)
        return Fail(option + ": only one of --server, --local and --sync");
      m_options.source = source;
    } else if (name == "help") {
      m_options.action = DupeOptions::Action::Help;
    } else if (name == "version") {
      m_options.action = DupeOptions::Action::Version;
    } else {
      return Fail("unknown option " + option);
    }
    return true;
  }

  bool Long(const std::string& arg) {
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (name.size() < 2) return Fail("unknown option " + arg);
    return Apply(name, equals == std::string::npos ? nullptr : arg.c_str() + equals + 1);
  }

  // -acv, -n5, -vn 5: letters until one that takes a value, which takes the rest or the next.
  bool Shorts(const std::string& arg) {
    for (size_t i = 1; i < arg.size(); ++i) {
      const std::string letter(1, arg[i]);
      if (std::string_view("nob").find(arg[i]) != std::string_view::npos)
        return Apply(letter, i + 1 < arg.size() ? arg.c_str() + i + 1 : nullptr);
      if (std::string_view("acv").find(arg[i]) == std::string_view::npos)
        return Fail("unknown option -" + letter);
      if (!Apply(letter, nullptr)) return false;
    }
    return true;
  }

  void Finish(const std::vector<std::string>& operands) {
    if (m_options.source == DupeOptions::Source::Sync) {
      if (!operands.empty() || m_options.exact) Fail("--sync takes no mask and no names");
      return;
    }
    if (m_options.exact) {
      if (operands.empty()) Fail("--exact wants at least one NAME, or - to read names from standard input");
      m_options.names = operands;
    } else {
      for (const std::string& word : operands) m_options.mask += (m_options.mask.empty() ? "" : " ") + word;
      if (m_options.mask.empty()) return (void)Fail(kTextNoMask);
    }
    if (!m_options.all && m_options.limit <= 0) Fail("--limit " + m_limitText + ": " + kTextNotPositive);
  }

  const std::vector<std::string>& m_args;
  DupeOptions& m_options;
  size_t m_next = 0;
  std::string m_limitText;
  std::string m_error;
};

}  // namespace

bool ParseDupeOptions(const std::vector<std::string>& args, DupeOptions& options, std::string& error) {
  options = DupeOptions();
  return Parser(args, options).Run(error);
}

std::optional<int> AnswerDupeArguments(const std::vector<std::string>& args, const DupesEndpoints& servers,
                                       const std::string& packageVersion, const DupeStreams& streams,
                                       DupeOptions& options) {
  std::string error;
  if (!ParseDupeOptions(args, options, error)) {
    DupeOutput::ErrorLine(streams.err, error + "; see kestrel-dupe --help");
    return 2;
  }
  if (options.action == DupeOptions::Action::Check) return std::nullopt;
  if (options.action == DupeOptions::Action::Help) {
    std::fputs(kDupeUsage, streams.out);
  } else {
    std::fprintf(streams.out, "kestrel-dupe %s\n", packageVersion.c_str());
    std::fprintf(streams.out, "primary server %s (probed on port %d)\n", servers.m_strPrimary.c_str(),
                 servers.m_nPrimaryProbePort);
    std::fprintf(streams.out, "backup server %s (probed on port %d)\n", servers.m_strBackup.c_str(),
                 servers.m_nBackupProbePort);
  }
  if (std::fflush(streams.out) == 0) return 0;
  DupeOutput::ErrorLine(streams.err, "standard output: write failed: " + ErrnoText(errno));
  return 2;
}
