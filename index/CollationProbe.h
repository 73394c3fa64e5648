#pragma once
// The collation of the names, read from the server the copy is made from: which collation
// DUPES_DIR and DUPES_DATE_STR have, and each character's weight under it, as WEIGHT_STRING gives
// it. Only a collation the copy can answer exactly for is taken; anything else (another
// collation, the two columns differing, a session whose literals read backslashes otherwise,
// results not sent as UTF-8) gives nothing, and the searches stay with the server.
#include <optional>
#include <string>

#include "index/Collation.h"

class DupesConnection;

// connection: connected, database selected, as DupesConnection::Connect left it (the literal
// character set set). A handful of statements, one of them a row per code point of the BMP.
std::optional<Collation> ProbeCollation(DupesConnection& connection, std::string* why = nullptr);

// The first, cheap part of it alone: the collation's name when the copy may hold it (two small
// statements), for a copy that already has its weights.
std::optional<std::string> ProbeCollationName(DupesConnection& connection, std::string* why = nullptr);

// Whether a collation of this name is one the copy may hold: one weight per character, no
// expansions nor contractions.
bool IsOneWeightCollation(const std::string& name);
