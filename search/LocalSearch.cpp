#include "search/LocalSearch.h"

#include <unistd.h>

#include <algorithm>

#include "db/DupesConnection.h"
#include "index/CopyCollation.h"
#include "index/IndexPaths.h"
#include "search/RetrievalRules.h"

LocalSearch::LocalSearch() = default;
LocalSearch::~LocalSearch() = default;

bool LocalSearch::Prepare(DupesConnection& connection, const std::string& mask) {
  const std::string& address = connection.Address();
  const std::string folder = IndexFolder();
  // The copy is made by its own build in the background; a search only uses one.
  const std::string path = folder.empty() ? std::string() : IndexFilePath(folder, address);
  if (path.empty() || ::access(path.c_str(), F_OK) != 0) {
    m_why = "no local copy of " + address;
    return false;
  }
  // Never made nor removed here: the build does that, and may be writing it right now.
  std::unique_ptr<LocalIndex> copy = LocalIndex::OpenExisting(path, address, m_why);
  if (!copy) return false;
  const CopyCollationSource source = DefaultCopyCollationSource();
  std::string key = copy->CollationKey();
  if (!source.probe(connection, key, m_why)) return false;
  const std::optional<CopyCollation> collation = source.load(key);
  if (!collation) {
    m_why = "the collation does not load";
    return false;
  }
  if (copy->CatchUp(connection, key, collation->fold, m_why) != LocalIndex::Result::Done) return false;
  return Keep(std::move(copy), mask);
}

bool LocalSearch::PrepareOffline(const DupesEndpoints& endpoints, const std::string& mask) {
  const std::string folder = IndexFolder();
  if (folder.empty()) {
    m_why = "no cache folder";
    return false;
  }
  std::unique_ptr<LocalIndex> latest;
  for (const std::string& address : {endpoints.m_strPrimary, endpoints.m_strBackup}) {
    std::unique_ptr<LocalIndex> copy =
        LocalIndex::OpenExisting(IndexFilePath(folder, address), address, m_why);
    if (copy && (!latest || copy->CaughtUpAt() > latest->CaughtUpAt())) latest = std::move(copy);
  }
  return latest && Keep(std::move(latest), mask);
}

bool LocalSearch::Keep(std::unique_ptr<LocalIndex> copy, const std::string& mask) {
  const std::optional<CopyCollation> collation = DefaultCopyCollationSource().load(copy->CollationKey());
  if (!collation) {
    m_why = "the collation does not load";
    return false;
  }
  m_matcher = collation->compile(mask);
  if (!m_matcher) {
    m_why = "the mask is for the server to answer";
    return false;
  }
  m_copy = std::move(copy);
  return true;
}

std::string LocalSearch::CaughtUpText() const {
  const std::time_t when = m_copy ? static_cast<std::time_t>(m_copy->CaughtUpAt()) : 0;
  std::tm local{};
  char text[32] = "";
  if (when > 0 && localtime_r(&when, &local)) std::strftime(text, sizeof text, "%m/%d/%Y %H:%M", &local);
  return text;
}

bool LocalSearch::Answer(const std::string& startBound, const std::string& endBound, int limit, int order) {
  LocalQuery query;
  query.matcher = *m_matcher;
  query.startBound = startBound;
  query.endBound = endBound;
  query.limit = limit;
  query.order = order;
  if (m_copy->Search(query, m_answer, m_why) != LocalIndex::Result::Done) {
    m_copy.reset();
    return false;
  }
  m_startBound = startBound;
  m_endBound = endBound;
  m_order = order;
  return true;
}

std::optional<long long> LocalSearch::Count(const std::string& startBound, const std::string& endBound,
                                            int order) {
  // The rows of the cap come with the count, so the rows asked for next cost no second scan.
  if (!m_copy || !Answer(startBound, endBound, kRetrievalCap, order)) return std::nullopt;
  return m_answer.count;
}

bool LocalSearch::Rows(const std::string& startBound, const std::string& endBound, int limit, int order,
                       std::vector<LocalEntry>& rows) {
  if (!m_copy) return false;
  const bool answered =
      order == m_order && startBound == m_startBound && endBound == m_endBound && limit <= kRetrievalCap;
  if (!answered && !Answer(startBound, endBound, limit, order)) return false;
  rows.assign(m_answer.rows.begin(),
              m_answer.rows.begin() +
                  std::min<size_t>(m_answer.rows.size(), static_cast<size_t>(std::max(limit, 0))));
  return true;
}
