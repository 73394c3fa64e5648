#pragma once
// The statements of the NFO retrieval, the statistics check and the search's summary. The search's
// own statements are built by BuildDupesQuery (db/SearchRequest.h).
#include <string>

// The whole table, counted: the search's total and the statistics window's count.
inline constexpr const char kTotalCountQuery[] = "SELECT COUNT(*) FROM DUPES";
// Its first row is the last update: date and time in the first two columns.
inline constexpr const char kLastUpdateQuery[] = "SELECT * FROM LASTUPDATE";

// Whether an entry has an NFO, and its bytes; the row's texts as the server sent them, escaped.
std::string BuildNfosQuery(const std::string& dateText, const std::string& directoryText);
std::string BuildNfoDataQuery(const std::string& dateText, const std::string& directoryText);
