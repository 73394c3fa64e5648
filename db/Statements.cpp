#include "db/Statements.h"

#include "db/SqlText.h"

std::string BuildNfosQuery(const std::string& dateText, const std::string& directoryText) {
  return "SELECT * FROM NFOS WHERE NFOS_DATE_STR = '" + EscapeSqlLiteral(dateText) + "'" +
         " AND NFOS_DIR = '" + EscapeSqlLiteral(directoryText) + "'";
}

std::string BuildNfoDataQuery(const std::string& dateText, const std::string& directoryText) {
  return "SELECT NFO_DATA_INFO FROM NFO_DATA WHERE NFO_DATA_DATE_STR = '" + EscapeSqlLiteral(dateText) + "'" +
         " AND NFO_DATA_DIR = '" + EscapeSqlLiteral(directoryText) + "'";
}
