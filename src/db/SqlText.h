#pragma once
// The one scanner of SQL text, and the one way to quote names and values.
//
// Everything that must look inside a statement's text (the ":name" parameter
// parser, the update-script splitter, the list builder's checks of a typed
// statement) reads it through tokenize(), so all of them agree where a literal,
// a quoted identifier or a comment begins and ends:
//   'it''s'            one string literal (a doubled quote stays inside)
//   q'{it's}'          one string literal (Firebird's alternative quoting; the
//                      closing character of ( [ { < is ) ] } >, otherwise itself)
//   "Név ""x"""        one quoted identifier
//   -- to line end     one comment;  /* ... */ one comment, never nested: the
//                      first "*/" closes it
//   :name              a parameter (letters, digits, '_', '$' after a letter or '_')
//   ;                  a statement terminator
// A literal, identifier or comment that does not close before the end of the
// text is one token marked `unterminated`: callers decide whether that is an
// error (the script runner reports it as a failed statement).
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace vl::db::sqltext {

enum class Tok {
    Space,        // blanks, tabs, line breaks
    Comment,      // -- ... or /* ... */
    Word,         // keyword or plain identifier: starts with a letter or '_'
    Number,       // starts with a digit (digits, '.', letters of an exponent)
    String,       // '...' or q'x...x'
    QuotedIdent,  // "..."
    Param,        // :name
    Placeholder,  // ?
    Semicolon,    // ;
    Symbol        // any other character (operators, parentheses, commas, '.')
};

struct Token {
    Tok kind = Tok::Symbol;
    qsizetype pos = 0;   // offset of the first character in the scanned text
    qsizetype len = 0;   // characters, quotes and comment marks included
    bool unterminated = false;

    QStringView text(QStringView sql) const { return sql.mid(pos, len); }
    bool isTrivia() const { return kind == Tok::Space || kind == Tok::Comment; }
};

// Splits the whole text into tokens; concatenating them gives the text back.
std::vector<Token> tokenize(QStringView sql);

// The value a token stands for: a Word upper-cased (unquoted names are
// case-insensitive), a QuotedIdent without its quotes and with doubled quotes
// undone, a String's contents, a Param's name in lower case; other tokens as
// written.
QString tokenValue(QStringView sql, const Token& t);

// The first unterminated token, or nullptr.
const Token* firstUnterminated(const std::vector<Token>& tokens);

// True when the text holds nothing but blanks and comments.
bool isBlank(QStringView sql);

// The statements of a text cut at its ';' tokens (a ';' inside a literal,
// identifier or comment does not cut). Each piece keeps its own text without the
// terminator; pieces of nothing but blanks and comments are left out. The text
// after the last ';' is returned in `tail` (empty when only blanks/comments).
struct Piece {
    QString text;
    qsizetype pos = 0;       // offset of the piece in the scanned text
    bool unterminated = false; // holds a literal or comment that never closed
};
std::vector<Piece> splitStatements(QStringView sql, Piece* tail = nullptr);

// The first word of a statement past blanks and comments, upper-cased ("" when
// the statement starts with something else, a parenthesis say).
QString firstKeyword(QStringView sql);
// Whether a word (case-insensitive) occurs as a Word token: not inside a
// literal, a quoted identifier or a comment, and not as part of a longer word.
bool containsWord(QStringView sql, QStringView word);

// Names as the server takes them.
QString quoteIdent(const QString& name);      // "NAME" with inner quotes doubled
QString quoteLiteral(const QString& value);   // 'value' with inner quotes doubled
// "a,b," -> "('a','b')" for an SQL IN list: the text trimmed, one trailing ','
// dropped, each item between the commas written as quoteLiteral writes it (a
// quote inside an item is doubled); "" stays "".
QString ToSqlInList(const QString& commaList);
// The one check of a name that goes into a statement's text (a table or column
// name read from the catalogue or from a control table): starts with A-Z, goes
// on with A-Z 0-9 _ $, at most 31 characters (upper case only, so the quoted and
// unquoted spellings mean the same object). A name that fails it is never spliced.
// Spliced names are still written through quoteIdent, so a name that is also a
// keyword (VALUE, DATE, POSITION ...) stays a name.
bool isPlainIdent(const QString& name);

} // namespace vl::db::sqltext
