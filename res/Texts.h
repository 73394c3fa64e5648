#pragma once
// The defined texts the form, the workers and the connection show: captions, status lines and
// message boxes, each written once. Plain data, no Qt, so core and GUI code share it.
#include <string>

// The main button's caption is the form's state: "Cancel" while a worker runs.
inline constexpr char kTextCancel[] = "Cancel";
inline constexpr char kTextDupe[] = "Dupe!";
inline constexpr char kTextIdle[] = "Idle";

// Message box captions.
inline constexpr char kCaptionKestrel[] = "Kestrel";
inline constexpr char kCaptionError[] = "Kestrel Error";
inline constexpr char kCaptionWarning[] = "Kestrel Warning";
inline constexpr char kCaptionSuccess[] = "Dupe Successful";

// Start-up and the data exchange (captioned with the program's title).
inline constexpr char kTextCannotOpenDocument[] = "Failed to open document.";
inline constexpr char kTextEnterInteger[] = "Please enter an integer.";

// The connection steps.
inline constexpr char kStatusTesting[] = "Testing Database Availability";
inline constexpr char kStatusTestingBackup[] = "Testing Backup Database Availability";
inline constexpr char kStatusConnecting[] = "Connecting to Database";
inline constexpr char kStatusConnectingBackup[] = "Connecting to Backup Database";
inline constexpr char kStatusDisconnecting[] = "Disconnecting from database";
inline constexpr char kTextNeitherAvailable[] = "Neither database available!";
inline constexpr char kTextCannotConnect[] = "Cannot connect to either database server!";
inline constexpr char kTextCannotAccess[] = "Cannot access database!";
inline constexpr char kTextCannotExecute[] = "Cannot execute SQL!";

// The search.
inline constexpr char kStatusFinding[] = "Finding number of entries matching mask";
inline constexpr char kStatusRetrievingEntries[] = "Retrieving requested entries";
inline constexpr char kStatusCountingTotal[] = "Counting total entries in database";
inline constexpr char kStatusCompleted[] = "Query Completed";
inline constexpr char kTextNoMask[] = "You must specify a search mask!";
inline constexpr char kTextNotPositive[] = "Amount to search for must be positive!";
inline constexpr char kTextStartIncomplete[] = "Start Date Incomplete!";
inline constexpr char kTextEndIncomplete[] = "End Date Incomplete!";
inline constexpr char kTextStartInvalid[] = "Start Date Invalid";
inline constexpr char kTextEndInvalid[] = "End Date Invalid";
inline constexpr char kTextNothingFound[] = "Nothing matching your search mask was found";
inline std::string RetrievalCapText(int cap) {
  return "Only retrieving up to " + std::to_string(cap) + " entries";
}
inline std::string LargeRetrievalText(long long entries) {
  return "The number of entries that will be retrieved is greater than 1000 (" + std::to_string(entries) +
         " to be exact).\nThis may take some time depending on the speed of your connection.\nAre you sure "
         "you "
         "want to do this?";
}
inline std::string SummaryText(int rows, const std::string& count, const std::string& total) {
  return std::to_string(rows) + " of " + count + " items retrieved (" + total + " total)";
}

// The NFO retrieval.
inline constexpr char kStatusRetrievingNfo[] = "Retrieving NFO Data";
inline constexpr char kTextNoNfo[] = "There is no NFO Data\r\n(NFO data only available from 02-05-1998 on)";
inline constexpr char kTextNothingSelected[] = "There is nothing selected!";
inline constexpr char kTextOnlyOne[] = "You may only select 1 item!";

// The results list's copy commands.
inline constexpr char kTextNothingToCopy[] = "There is nothing to copy!";

// The NFO text's context menu.
inline constexpr char kTextNfoCopy[] = "&Copy";
inline constexpr char kTextNfoSelectAll[] = "Select &All";

// The statistics check; server is "Primary" or "Backup".
inline std::string TestingServerText(const std::string& server) {
  return "Testing " + server + " Database";
}
inline std::string ConnectingServerText(const std::string& server) {
  return "Connecting to " + server + " Database";
}
inline constexpr char kStatusCheckingUpdate[] = "Checking Last Update";
inline constexpr char kStatusCountingEntries[] = "Counting Entries";
inline constexpr char kStatusDone[] = "Done";
inline constexpr char kTextYes[] = "YES";
inline constexpr char kTextNo[] = "NO";
// A field the check could not read.
inline constexpr char kTextNotAvailable[] = "N/A";

// The local index's build, at the foot of the results list and on its command in the pop-up.
inline constexpr char kTextIndexOff[] = "Keep a copy of the database's entries on this computer";
inline std::string IndexBuildingText(const std::string& rows, const std::string& total) {
  return "Building the local index: " + rows + " of " + total + " entries";
}
inline std::string IndexReadyText(const std::string& rows) {
  return "Local index ready: " + rows + " entries";
}
inline std::string IndexFailedText(const std::string& reason) {
  return "Local index not built: " + reason;
}

// The command line's own answers, on the terminal before any window exists.
inline constexpr char kTextUsage[] =
    "Usage: kestrel [Qt options] [file]\n"
    "Look up release directories in the shared dupe database.\n"
    "\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and the two servers of this build and exit\n"
    "\n"
    "The Qt options (-platform, -style, ...) and the settings file are described in kestrel(1).\n";
// Failure lines (ReportFailure adds "kestrel: ").
inline constexpr char kTextNoDisplay[] =
    "cannot start: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
inline std::string UnknownOptionText(const std::string& option) {
  return "unknown option '" + option + "' (kestrel --help lists the options)";
}
inline constexpr char kTextDisplayFailed[] = "cannot start: the display could not be opened";

// The local index: both servers down, its copy may answer instead, saying of when it is.
inline std::string LocalCopyQuestionText(const std::string& caughtUp) {
  return "Answer from the local index instead?\nIt was last brought up to date on " + caughtUp + ".";
}
inline std::string LocalCopySummaryText(const std::string& summary, const std::string& caughtUp) {
  return summary + " from the local index of " + caughtUp;
}
