// An alternative's text split the way the plug-in's parser splits it, with
// the place of every piece in the text, for the tools that look at what a
// text holds (its variables, the SakuraScript around them) rather than at
// what it expands to. The split uses the parser's own steps
// (findNextVariable, findNameEnd), so it can't disagree with the plug-in.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "template/ScriptParser.h"

enum class PieceKind {
  text,      // bytes that reach the script unchanged
  dollar,    // "$$", a lone "$" or empty brackets: one '$' in the script
  variable,  // a name that the expansion replaces
};

struct PatternPiece {
  PieceKind kind;
  size_t start;   // first byte of the piece in the text
  size_t length;  // its bytes in the text ("${frame}" is 8, "$$" is 2)
  size_t nameStart;   // variable: the name's first byte in the text
  size_t nameLength;  // variable: its length in bytes (never 0)
  VariableForm form;  // variable and dollar: the form the '$' opened
};

struct PatternPieces {
  std::vector<PatternPiece> pieces;  // in the order of the text
  // A bracket form never closed: its '$' and bracket are dropped and the
  // rest of the text is the last piece, a text piece.
  bool unclosed;
  VariableForm unclosedForm;  // with unclosed: the form that stayed open
};

// Returns the pieces of `text`. Empty text pieces are left out, so a text
// without variables is one text piece and the empty text has no piece.
PatternPieces splitPattern(const std::string& text);

// Returns the name of a variable piece of `text`.
std::string pieceName(const std::string& text, const PatternPiece& piece);
