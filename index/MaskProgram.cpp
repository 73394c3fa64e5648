#include "index/MaskProgram.h"

#include <algorithm>
#include <utility>

#include "db/SearchRequest.h"

namespace {

// Deeper brackets are left to the server, whose parser has its own limit.
constexpr int kMostDepth = 64;
// Past this many ways of matching the prefilter gives up and every entry is tried.
constexpr size_t kMostAlternatives = 64;

// The end of the folded unit starting at at (a lead byte tells its length, as in UTF-8).
size_t UnitEnd(std::string_view text, size_t at) {
  const auto lead = static_cast<uint8_t>(text[at]);
  const size_t length = lead < 0xC0   ? 1
                        : lead < 0xE0 ? 2
                        : lead < 0xF0 ? 3
                        : lead < 0xF8 ? 4
                        : lead < 0xFC ? 5
                                      : 6;
  return std::min(text.size(), at + length);
}

// Whether piece matches text from at on; end gets where it stops.
bool PieceAt(const std::vector<std::string>& piece, std::string_view text, size_t at, size_t& end) {
  for (const std::string& unit : piece) {
    if (at >= text.size()) return false;
    if (unit.empty()) {
      at = UnitEnd(text, at);
    } else {
      if (text.compare(at, unit.size(), unit) != 0) return false;
      at += unit.size();
    }
  }
  end = at;
  return true;
}

// The token kinds of the statement's condition, as BuildDupesQuery writes it.
enum class Token { Word, And, Or, Open, Close };

class Parser {
 public:
  Parser(const std::vector<std::pair<Token, uint32_t>>& tokens, std::string& why)
      : m_tokens(tokens), m_why(why) {}
  template <typename MakeNode>
  bool Expression(int depth, uint32_t& node, MakeNode&& make) {
    if (depth > kMostDepth) return Fail("brackets nested too deep");
    std::vector<uint32_t> terms;
    do {
      std::vector<uint32_t> factors;
      do {
        uint32_t factor = 0;
        if (!Factor(depth, factor, make)) return false;
        factors.push_back(factor);
      } while (Take(Token::And));
      terms.push_back(factors.size() == 1 ? factors.front() : make(true, std::move(factors)));
    } while (Take(Token::Or));
    node = terms.size() == 1 ? terms.front() : make(false, std::move(terms));
    return true;
  }
  bool AtEnd() const { return m_at == m_tokens.size(); }

 private:
  template <typename MakeNode>
  bool Factor(int depth, uint32_t& node, MakeNode&& make) {
    if (m_at == m_tokens.size()) return Fail("an operand is missing at the end");
    const auto [token, word] = m_tokens[m_at++];
    if (token == Token::Word) {
      node = word;
      return true;
    }
    if (token != Token::Open) return Fail("an operand is missing before a connector or a bracket");
    if (!Expression(depth + 1, node, make)) return false;
    if (!Take(Token::Close)) return Fail("a bracket is not closed");
    return true;
  }
  bool Take(Token token) {
    if (m_at >= m_tokens.size() || m_tokens[m_at].first != token) return false;
    ++m_at;
    return true;
  }
  bool Fail(const char* text) {
    m_why = text;
    return false;
  }

  const std::vector<std::pair<Token, uint32_t>>& m_tokens;
  std::string& m_why;
  size_t m_at = 0;
};

}  // namespace

bool MaskProgram::Pattern::Like(std::string_view text) const {
  if (pieces.empty()) return open || text.empty();
  size_t at = 0;
  size_t first = 0;
  if (!open) {
    if (!PieceAt(pieces.front(), text, 0, at)) return false;
    if (pieces.size() == 1 && !tail) return at == text.size();
    first = 1;
  }
  for (size_t i = first; i < pieces.size(); ++i) {
    const auto& piece = pieces[i];
    if (i + 1 == pieces.size() && !tail) {
      // The last piece ends the text: it starts as many units before the end as it has.
      size_t start = text.size();
      for (size_t n = 0; n < piece.size(); ++n) {
        if (start <= at) return false;
        --start;
        while (start > at && (static_cast<uint8_t>(text[start]) & 0xC0) == 0x80) --start;
      }
      size_t end = 0;
      return PieceAt(piece, text, start, end) && end == text.size();
    }
    // A piece between runs of any length: its leftmost place leaves the most to the rest.
    for (;;) {
      size_t end = 0;
      if (PieceAt(piece, text, at, end)) {
        at = end;
        break;
      }
      if (at >= text.size()) return false;
      at = UnitEnd(text, at);
    }
  }
  return true;
}

std::optional<MaskProgram> MaskProgram::Compile(const std::string& mask, const Collation& collation,
                                                std::string* why) {
  std::string reason;
  const auto refuse = [&](std::string text) -> std::optional<MaskProgram> {
    if (why) *why = std::move(text);
    return std::nullopt;
  };
  if (mask.find('\0') != std::string::npos) return refuse("a NUL would cut the statement short");

  MaskProgram program;
  std::vector<std::pair<Token, uint32_t>> tokens;
  std::string rest = NormaliseSearchMask(mask);
  std::string token;
  bool operandEnd = false;
  while (NextMaskWord(rest, token)) {
    switch (token[0]) {
      case '&':
        tokens.emplace_back(Token::And, 0);
        operandEnd = false;
        break;
      case '|':
        tokens.emplace_back(Token::Or, 0);
        operandEnd = false;
        break;
      case '(':
        if (operandEnd) tokens.emplace_back(Token::And, 0);
        tokens.emplace_back(Token::Open, 0);
        operandEnd = false;
        break;
      case ')':
        tokens.emplace_back(Token::Close, 0);
        operandEnd = true;
        break;
      case '!':
        break;
      default: {
        if (operandEnd) tokens.emplace_back(Token::And, 0);
        operandEnd = true;
        Word word;
        word.held = true;
        word.date.open = token.front() == '%';
        word.date.tail = token.back() == '%';
        std::vector<std::string>* piece = nullptr;
        for (size_t at = 0; at < token.size();) {
          const long cp = NextUtf8CodePoint(token, at);
          const uint32_t weight = cp < 0 ? Collation::kNotHeld : collation.Weight(char32_t(cp));
          if (weight > Collation::kMaxWeight) {
            word.held = false;
            break;
          }
          if (cp == '%') {
            piece = nullptr;
            continue;
          }
          if (!piece) piece = &word.date.pieces.emplace_back();
          piece->emplace_back();
          if (cp != '_') AppendFoldedUnit(piece->back(), weight);
        }
        if (!word.held) word.date.pieces.clear();
        word.dir.open = word.dir.tail = true;
        word.dir.pieces = word.date.pieces;
        program.m_nodes.push_back(Node{Node::kWord, uint32_t(program.m_words.size()), {}});
        program.m_words.push_back(std::move(word));
        tokens.emplace_back(Token::Word, uint32_t(program.m_nodes.size() - 1));
      }
    }
  }
  if (tokens.empty()) return refuse("the mask has no condition");
  Parser parser(tokens, reason);
  const auto make = [&program](bool all, std::vector<uint32_t> operands) {
    program.m_nodes.push_back(Node{all ? Node::kAnd : Node::kOr, 0, std::move(operands)});
    return uint32_t(program.m_nodes.size() - 1);
  };
  if (!parser.Expression(0, program.m_root, make)) return refuse(reason);
  if (!parser.AtEnd())
    return refuse("a bracket closes that was not opened, or an operand follows an operand");
  return program;
}

bool MaskProgram::Eval(uint32_t index, std::string_view dir, std::string_view dateStr) const {
  const Node& node = m_nodes[index];
  switch (node.kind) {
    case Node::kWord: {
      const Word& word = m_words[node.word];
      return word.held && (word.dir.Like(dir) || word.date.Like(dateStr));
    }
    case Node::kAnd:
      for (uint32_t operand : node.operands)
        if (!Eval(operand, dir, dateStr)) return false;
      return true;
    case Node::kOr:
      for (uint32_t operand : node.operands)
        if (Eval(operand, dir, dateStr)) return true;
      return false;
  }
  return false;
}

bool MaskProgram::Matches(std::string_view foldedDir, std::string_view foldedDateStr) const {
  return Eval(m_root, foldedDir, foldedDateStr);
}

bool MaskProgram::MayMatchByDate(std::string_view foldedDateStr) const {
  for (const Word& word : m_words)
    if (word.held && word.date.Like(foldedDateStr)) return true;
  return false;
}

bool MaskProgram::TextsSuffice() const {
  for (const Word& word : m_words) {
    if (!word.held) continue;
    if (word.dir.pieces.size() != 1) return false;
    for (const std::string& unit : word.dir.pieces.front())
      if (unit.empty()) return false;
  }
  return true;
}

std::optional<MaskProgram::Alternatives> MaskProgram::Required(uint32_t index) const {
  const Node& node = m_nodes[index];
  Alternatives result;
  if (node.kind == Node::kWord) {
    const Word& word = m_words[node.word];
    if (!word.held) return result;
    std::vector<std::string> texts;
    for (const auto& piece : word.dir.pieces) {
      std::string text;
      for (const std::string& unit : piece) {
        if (unit.empty() && !text.empty()) texts.push_back(std::move(text)), text.clear();
        text += unit;
      }
      if (!text.empty()) texts.push_back(std::move(text));
    }
    result.push_back(std::move(texts));
    return result;
  }
  if (node.kind == Node::kOr) {
    for (uint32_t operand : node.operands) {
      auto more = Required(operand);
      if (!more) return std::nullopt;
      for (auto& alternative : *more) result.push_back(std::move(alternative));
      if (result.size() > kMostAlternatives) return std::nullopt;
    }
    return result;
  }
  result.emplace_back();
  for (uint32_t operand : node.operands) {
    auto more = Required(operand);
    if (!more) return std::nullopt;
    Alternatives product;
    for (const auto& left : result) {
      for (const auto& right : *more) {
        product.push_back(left);
        product.back().insert(product.back().end(), right.begin(), right.end());
      }
    }
    if (product.size() > kMostAlternatives) return std::nullopt;
    result = std::move(product);
  }
  return result;
}

std::optional<std::vector<std::vector<std::string>>> MaskProgram::RequiredTexts() const {
  auto alternatives = Required(m_root);
  if (!alternatives) return std::nullopt;
  for (const auto& texts : *alternatives)
    if (texts.empty()) return std::nullopt;
  return alternatives;
}
