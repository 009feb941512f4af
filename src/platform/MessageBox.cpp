// Stand-in for MessageBoxA: nobody can press a button, so the box is written
// to standard error and answers as if OK was pressed. Caption and text are
// written as they are, Shift_JIS bytes.
#include <windows.h>

#include <stdio.h>

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  fprintf(stderr, "MessageBoxA caption=\"%s\" type=0x%x text=\"%s\"\n", caption ? caption : "",
          type, text ? text : "");
  fflush(stderr);
  return IDOK;
}
