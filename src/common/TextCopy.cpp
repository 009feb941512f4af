#include "common/TextCopy.h"

#include <stdlib.h>
#include <string.h>

char* copyText(const char* text) {
  if (text == nullptr) text = "";
  size_t length = strlen(text);
  char* copy = static_cast<char*>(malloc(length + 1));
  if (copy != nullptr) memcpy(copy, text, length + 1);
  return copy;
}
