#include "db/SqlText.h"

#include <cctype>

#include "db/DbError.h"

namespace vx::db {

namespace {

enum class Tok { Space, Comment, Literal, QuotedIdent, Word, Param, Number, Punct };

struct Token {
  Tok kind;
  std::string_view text;
  std::string_view name;  // Param: the name without ':'
};

bool identStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || u >= 0x80;
}
bool identChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

// Reads a quoted run that starts at `i` with `q` and ends at the next unpaired `q`; an
// unterminated run takes the rest of the text (the engine reports it).
size_t quotedEnd(std::string_view s, size_t i, char q) {
  size_t j = i + 1;
  while (j < s.size()) {
    if (s[j] == q) {
      if (j + 1 < s.size() && s[j + 1] == q) {
        j += 2;
        continue;
      }
      return j + 1;
    }
    ++j;
  }
  return s.size();
}

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    size_t j = i + 1;
    Tok kind = Tok::Punct;
    std::string_view name;
    if (std::isspace(static_cast<unsigned char>(c))) {
      while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
      kind = Tok::Space;
    } else if (c == '-' && j < s.size() && s[j] == '-') {
      while (j < s.size() && s[j] != '\n') ++j;
      kind = Tok::Comment;
    } else if (c == '/' && j < s.size() && s[j] == '*') {
      const auto end = s.find("*/", i + 2);
      j = end == std::string_view::npos ? s.size() : end + 2;
      kind = Tok::Comment;
    } else if (c == '\'') {
      j = quotedEnd(s, i, '\'');
      kind = Tok::Literal;
    } else if (c == '"') {
      j = quotedEnd(s, i, '"');
      kind = Tok::QuotedIdent;
    } else if (c == '$' && j < s.size() && (s[j] == '$' || identStart(s[j]))) {
      // A dollar-quoted string ($$...$$ or $tag$...$tag$), as function bodies are written.
      size_t k = j;
      while (k < s.size() && s[k] != '$' && identChar(s[k])) ++k;
      if (k < s.size() && s[k] == '$') {
        const std::string_view tag = s.substr(i, k + 1 - i);
        const auto end = s.find(tag, k + 1);
        j = end == std::string_view::npos ? s.size() : end + tag.size();
        kind = Tok::Literal;
      }
    } else if (c == ':' && j < s.size() && s[j] == ':') {
      j = i + 2;  // a PostgreSQL cast, never a parameter
    } else if (c == ':' && j < s.size() && identStart(s[j])) {
      while (j < s.size() && identChar(s[j]) && s[j] != '$') ++j;
      kind = Tok::Param;
      name = s.substr(i + 1, j - i - 1);
    } else if (identStart(c)) {
      while (j < s.size() && identChar(s[j])) ++j;
      kind = Tok::Word;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      kind = Tok::Number;
    }
    out.push_back(Token{kind, s.substr(i, j - i), name});
    i = j;
  }
  return out;
}

bool isWord(const Token& t, std::string_view w) { return t.kind == Tok::Word && sameName(t.text, w); }
bool isPunct(const Token& t, char c) {
  return t.kind == Tok::Punct && t.text.size() == 1 && t.text[0] == c;
}
bool blank(const Token& t) { return t.kind == Tok::Space || t.kind == Tok::Comment; }

// Index of the next token after `i` that is not white space or a comment, or size().
size_t nextCode(const std::vector<Token>& t, size_t i) {
  ++i;
  while (i < t.size() && blank(t[i])) ++i;
  return i;
}
// Index of the previous code token before `i`, or npos.
size_t prevCode(const std::vector<Token>& t, size_t i) {
  while (i > 0) {
    --i;
    if (!blank(t[i])) return i;
  }
  return std::string::npos;
}

size_t indexOf(std::vector<std::string>& names, std::string_view name) {
  for (size_t k = 0; k < names.size(); ++k)
    if (sameName(names[k], name)) return k;
  names.emplace_back(name);
  return names.size() - 1;
}

// Rewrites tokens [from, to) into `out`.
void rewrite(const std::vector<Token>& t, size_t from, size_t to, Dialect d, bool isInsert,
             std::vector<std::string>& names, std::string& out) {
  for (size_t i = from; i < to; ++i) {
    const Token& tok = t[i];
    if (tok.kind == Tok::Param) {
      // PostgreSQL reads a '$' after a word character as part of that word ("OR$1"), and
      // "$$" opens a quoted body: a placeholder right after one stands apart.
      if (d == Dialect::Postgres && !out.empty() && identChar(out.back())) out += ' ';
      out += d == Dialect::Sqlite ? '?' : '$';
      out += std::to_string(indexOf(names, tok.name) + 1);
      continue;
    }
    if (tok.kind != Tok::Word) {
      out += tok.text;
      continue;
    }
    const size_t prev = prevCode(t, i);
    const bool qualified = prev != std::string::npos && isPunct(t[prev], '.');
    const size_t next = nextCode(t, i);
    const bool hasNext = next < to;
    // CURRENT TIMESTAMP: the database's local date and time now.
    if (isWord(tok, "CURRENT") && hasNext && isWord(t[next], "TIMESTAMP") && !qualified) {
      out += d == Dialect::Sqlite ? "getdate()" : "LOCALTIMESTAMP";
      i = next;
      continue;
    }
    // NSU.<table>: the library's owner prefix.
    if (d == Dialect::Sqlite && isWord(tok, "NSU") && !qualified && i + 1 < to &&
        isPunct(t[i + 1], '.')) {
      out += "main";
      continue;
    }
    // User in an insert: the connected user's name.
    if (isInsert && isWord(tok, "USER") && !qualified &&
        !(hasNext && (isPunct(t[next], '.') || isPunct(t[next], '(')))) {
      out += d == Dialect::Sqlite ? "connected_user()" : "CURRENT_USER";
      continue;
    }
    out += tok.text;
  }
}

}  // namespace

std::vector<std::string> parameterNames(std::string_view sql) {
  std::vector<std::string> names;
  for (const Token& t : tokenize(sql))
    if (t.kind == Tok::Param) indexOf(names, t.name);
  return names;
}

Translation translate(std::string_view sql, Dialect d) {
  const std::vector<Token> t = tokenize(sql);
  Translation r;
  size_t first = 0;
  while (first < t.size() && blank(t[first])) ++first;
  const bool isInsert = first < t.size() && isWord(t[first], "INSERT");

  if (first < t.size() && isWord(t[first], "CALL")) {
    if (d == Dialect::Postgres) {
      // The server runs the procedure itself; CALL answers with one row of its in-out
      // parameters (ErrorCode of ReturnLoanBasic).
      r.sql = "CALL";
      rewrite(t, first + 1, t.size(), d, false, r.parameters, r.sql);
      return r;
    }
    // call [owner.]Name [( args )] [;]
    size_t i = nextCode(t, first);
    if (i >= t.size() || t[i].kind != Tok::Word)
      throw DbError("Invalid call statement: a procedure name must follow 'call'");
    r.procedure = std::string(t[i].text);
    i = nextCode(t, i);
    if (i < t.size() && isPunct(t[i], '.')) {
      i = nextCode(t, i);
      if (i >= t.size() || t[i].kind != Tok::Word)
        throw DbError("Invalid call statement: a procedure name must follow '.'");
      r.procedure = std::string(t[i].text);
      i = nextCode(t, i);
    }
    r.isCall = true;
    if (i < t.size() && isPunct(t[i], '(')) {
      int depth = 1;
      size_t close = i + 1;
      for (; close < t.size(); ++close) {
        if (isPunct(t[close], '(')) ++depth;
        if (isPunct(t[close], ')') && --depth == 0) break;
      }
      if (close >= t.size()) throw DbError("Invalid call statement: missing ')'");
      std::string args;
      rewrite(t, i + 1, close, d, false, r.parameters, args);
      bool any = false;
      for (size_t k = i + 1; k < close; ++k) any = any || !blank(t[k]);
      if (any) r.sql = "SELECT " + args;
      i = nextCode(t, close);
    }
    if (i < t.size() && isPunct(t[i], ';')) i = nextCode(t, i);
    if (i < t.size())
      throw DbError("Invalid call statement: unexpected '" + std::string(t[i].text) + "'");
    return r;
  }
  rewrite(t, 0, t.size(), d, isInsert, r.parameters, r.sql);
  return r;
}

std::string translateScript(std::string_view sql, Dialect d) {
  if (d == Dialect::Postgres) return std::string(sql);
  const std::vector<Token> t = tokenize(sql);
  std::string out;
  for (size_t i = 0; i < t.size(); ++i) {
    const size_t prev = prevCode(t, i);
    const bool qualified = prev != std::string::npos && isPunct(t[prev], '.');
    if (isWord(t[i], "NSU") && !qualified && i + 1 < t.size() && isPunct(t[i + 1], '.'))
      out += "main";
    else
      out += t[i].text;
  }
  return out;
}

}  // namespace vx::db
