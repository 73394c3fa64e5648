#include "index/CopyCollation.h"

#include <memory>

#ifdef KESTREL_HAVE_MASK_PROGRAM
#include "index/Collation.h"
#include "index/MaskProgram.h"
#endif

CopyCollationSource DefaultCopyCollationSource() {
  CopyCollationSource source;
#ifdef KESTREL_HAVE_MASK_PROGRAM
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
      matcher.requiredTexts = compiled->RequiredTexts();
      matcher.matches = [compiled](std::string_view dir, std::string_view dateStr) {
        return compiled->Matches(dir, dateStr);
      };
      return matcher;
    };
    return copy;
  };
  // The probe joins here once the collation probe is in the tree.
#endif
  return source;
}
