#include "index/CopyCollation.h"

#include <memory>

#include "index/Collation.h"
#include "index/CollationProbe.h"
#include "index/ExactNames.h"
#include "index/MaskProgram.h"

CopyCollationSource DefaultCopyCollationSource() {
  CopyCollationSource source;
  source.probe = [](DupesConnection& connection, std::string& key, std::string& why) {
    // The weights of a collation of the same name are the ones the copy holds: only a copy
    // without them, or of another collation, costs the statement of every character.
    const std::optional<Collation> held = Collation::Deserialize(key);
    if (held) {
      const std::optional<std::string> name = ProbeCollationName(connection, &why);
      if (!name) return false;
      if (*name == held->Name()) return true;
    }
    const std::optional<Collation> collation = ProbeCollation(connection, &why);
    if (!collation) return false;
    key = collation->Serialize();
    return true;
  };
  source.load = [](const std::string& key) -> std::optional<CopyCollation> {
    auto collation = Collation::Deserialize(key);
    if (!collation) return std::nullopt;
    auto shared = std::make_shared<Collation>(std::move(*collation));
    CopyCollation copy;
    copy.fold = [shared](std::string_view text, std::string& folded) { return shared->Fold(text, folded); };
    copy.compile = [shared](const std::string& mask) -> std::optional<LocalMatcher> {
      auto program = MaskProgram::Compile(mask, *shared);
      if (!program) return std::nullopt;
      auto compiled = std::make_shared<MaskProgram>(std::move(*program));
      LocalMatcher matcher;
      // No lists: every entry is tried, as when some way of matching needs no text.
      matcher.requiredTexts = compiled->RequiredTexts().value_or(std::vector<std::vector<std::string>>{});
      matcher.textsSuffice = compiled->TextsSuffice();
      matcher.matches = [compiled](std::string_view dir, std::string_view dateStr) {
        return compiled->Matches(dir, dateStr);
      };
      matcher.mayMatchByDate = [compiled](std::string_view dateStr) {
        return compiled->MayMatchByDate(dateStr);
      };
      return matcher;
    };
    copy.compileExact = [shared](const std::vector<std::string>& names) {
      return CompileExactNames(names, *shared);
    };
    return copy;
  };
  return source;
}
