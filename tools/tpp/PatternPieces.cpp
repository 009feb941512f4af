#include "PatternPieces.h"

#include <stdint.h>

namespace {

void addText(PatternPieces& out, size_t start, size_t length) {
  if (length > 0) out.pieces.push_back(PatternPiece{PieceKind::text, start, length, 0, 0, VariableForm::plain});
}

}  // namespace

// Follows parseScriptText step by step; see ScriptParser.h for the forms.
PatternPieces splitPattern(const std::string& text) {
  PatternPieces out{{}, false, VariableForm::plain};
  const char* base = text.c_str();
  size_t position = 0;
  for (;;) {
    int32_t before;
    VariableForm form;
    if (!findNextVariable(base + position, &before, &form)) {
      addText(out, position, static_cast<size_t>(before));
      return out;
    }
    addText(out, position, static_cast<size_t>(before));
    size_t dollar = position + static_cast<size_t>(before);
    size_t opener = form != VariableForm::plain ? 1 : 0;
    size_t name = dollar + 1 + opener;
    int32_t nameLength;
    if (!findNameEnd(base + name, form, &nameLength)) {
      out.unclosed = true;
      out.unclosedForm = form;
      addText(out, name, static_cast<size_t>(nameLength));
      return out;
    }
    size_t end = name + static_cast<size_t>(nameLength) + opener;  // the closer counts like the opener
    if (nameLength > 0) {
      out.pieces.push_back(
          PatternPiece{PieceKind::variable, dollar, end - dollar, name, static_cast<size_t>(nameLength), form});
    } else {
      // "$$" is one dollar sign; a space that follows a lone "$" stays.
      if (form == VariableForm::plain && base[name] == '$') end++;
      out.pieces.push_back(PatternPiece{PieceKind::dollar, dollar, end - dollar, 0, 0, form});
    }
    position = end;
  }
}

std::string pieceName(const std::string& text, const PatternPiece& piece) {
  return text.substr(piece.nameStart, piece.nameLength);
}
