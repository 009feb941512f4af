// Stand-ins for the window and font calls: child windows of the classes
// "STATIC" and "COMBOBOX" and fonts, each a row in a table keyed by an
// opaque handle that nothing ever dereferences. A host hands the plug-in its
// own window as an opaque handle too; that window is not in the table, sits
// at the screen's origin and only serves as a parent. Nothing is drawn and
// no notification is sent: a combo box changes its selection only through
// CB_SETCURSEL, as under Windows, where CB_SETCURSEL notifies nobody either.
//
// Limits: 64 windows and 16 fonts alive at once; a combo box reports its
// created height (the dropped-down size) from GetWindowRect, where Windows
// reports the height of the closed box.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "common/TextCopy.h"

namespace {

enum class WindowKind { none, staticText, comboBox };

struct WindowRow {
  HWND handle;  // null: the row is free
  HWND parent;
  WindowKind kind;
  char* text;
  DWORD style;
  DWORD exStyle;
  int x, y, width, height;
  int id;
  HFONT font;
  char** items;  // combo box entries, each owned
  int itemCount;
  int itemCapacity;
  int selection;  // CB_ERR when none
};

struct FontRow {
  HFONT handle;  // null: the row is free
  LOGFONTA font;
};

constexpr int kMaxWindows = 64;
constexpr int kMaxFonts = 16;

WindowRow windows[kMaxWindows];
FontRow fonts[kMaxFonts];
// Handles count up and are never reused, so a stale handle finds nothing.
uintptr_t nextHandle = 0x10010;

WindowRow* findWindow(HWND handle) {
  if (handle == nullptr) return nullptr;
  for (WindowRow& row : windows) {
    if (row.handle == handle) return &row;
  }
  return nullptr;
}

FontRow* findFont(HGDIOBJ handle) {
  if (handle == nullptr) return nullptr;
  for (FontRow& row : fonts) {
    if (row.handle == handle) return &row;
  }
  return nullptr;
}

uintptr_t takeHandle() {
  uintptr_t handle = nextHandle;
  nextHandle += 4;
  return handle;
}

// The class name as Windows reports it, for the classes known here.
const char* className(WindowKind kind) {
  return kind == WindowKind::staticText ? "Static" : kind == WindowKind::comboBox ? "ComboBox" : "";
}

WindowKind kindOfClass(const char* name) {
  if (name == nullptr) return WindowKind::none;
  if (strcasecmp(name, "STATIC") == 0) return WindowKind::staticText;
  if (strcasecmp(name, "COMBOBOX") == 0) return WindowKind::comboBox;
  return WindowKind::none;
}

void releaseRow(WindowRow* row) {
  free(row->text);
  for (int i = 0; i < row->itemCount; ++i) free(row->items[i]);
  free(row->items);
  memset(row, 0, sizeof *row);
}

// Copies `text` into `buffer` of `size` bytes as Windows does: at most
// size - 1 bytes and the terminator. Returns the bytes copied.
int copyOut(const char* text, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  int length = static_cast<int>(strlen(text));
  if (length > size - 1) length = size - 1;
  memcpy(buffer, text, static_cast<size_t>(length));
  buffer[length] = '\0';
  return length;
}

// The screen position of a window's top-left corner: the host's window
// (not in the table) stands at the origin, a child at its offset.
POINT screenOrigin(HWND handle) {
  POINT origin = {0, 0};
  for (int depth = 0; depth < kMaxWindows; ++depth) {
    WindowRow* row = findWindow(handle);
    if (row == nullptr) break;
    origin.x += row->x;
    origin.y += row->y;
    handle = row->parent;
  }
  return origin;
}

// A window's rectangle in screen coordinates, as created.
void windowRect(const WindowRow* row, RECT* rect) {
  POINT origin = screenOrigin(row->handle);
  rect->left = origin.x;
  rect->top = origin.y;
  rect->right = origin.x + row->width;
  rect->bottom = origin.y + row->height;
}

LRESULT comboBoxMessage(WindowRow* row, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case CB_ADDSTRING: {
      if (row->itemCount == row->itemCapacity) {
        int capacity = row->itemCapacity == 0 ? 8 : row->itemCapacity * 2;
        void* grown = realloc(row->items, sizeof(char*) * static_cast<size_t>(capacity));
        if (grown == nullptr) return CB_ERRSPACE;
        row->items = static_cast<char**>(grown);
        row->itemCapacity = capacity;
      }
      char* item = copyText(reinterpret_cast<const char*>(lParam));
      if (item == nullptr) return CB_ERRSPACE;
      row->items[row->itemCount] = item;
      return row->itemCount++;
    }
    case CB_GETCOUNT:
      return row->itemCount;
    case CB_GETCURSEL:
      return row->selection;
    case CB_SETCURSEL: {
      // -1 clears the selection; any other index outside the list is
      // refused and leaves it as it was (as Wine does).
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= row->itemCount) {
        if (index == -1) row->selection = CB_ERR;
        return CB_ERR;
      }
      row->selection = index;
      return index;
    }
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= row->itemCount) return CB_ERR;
      const char* item = row->items[index];
      int length = static_cast<int>(strlen(item));
      // CB_GETLBTEXT trusts the buffer to hold the whole entry, as Windows does.
      if (message == CB_GETLBTEXT) memcpy(reinterpret_cast<char*>(lParam), item, static_cast<size_t>(length) + 1);
      return length;
    }
    case CB_GETDROPPEDCONTROLRECT: {
      RECT* rect = reinterpret_cast<RECT*>(lParam);
      // Wine answers CB_OKAY, 0.
      if (rect != nullptr) windowRect(row, rect);
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR name, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  WindowKind kind = kindOfClass(name);
  if (kind == WindowKind::none) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if ((style & WS_CHILD) != 0 && parent == nullptr) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  WindowRow* row = nullptr;
  for (WindowRow& candidate : windows) {
    if (candidate.handle == nullptr) {
      row = &candidate;
      break;
    }
  }
  char* text = copyText(windowName);
  if (row == nullptr || text == nullptr) {
    free(text);
    SetLastError(8 /* ERROR_NOT_ENOUGH_MEMORY */);
    return nullptr;
  }
  memset(row, 0, sizeof *row);
  row->handle = reinterpret_cast<HWND>(takeHandle());
  row->parent = parent;
  row->kind = kind;
  // A drop-down list shows its selection, not a text of its own.
  if (kind == WindowKind::comboBox) text[0] = '\0';
  row->text = text;
  row->style = style;
  // A combo box draws its sunken edge itself and drops WS_EX_CLIENTEDGE
  // from its extended style, as Windows' own does.
  row->exStyle = kind == WindowKind::comboBox ? exStyle & ~static_cast<DWORD>(WS_EX_CLIENTEDGE) : exStyle;
  row->x = x;
  row->y = y;
  row->width = width;
  row->height = height;
  // A child window's "menu" is its control ID.
  row->id = (style & WS_CHILD) != 0 ? static_cast<int>(reinterpret_cast<uintptr_t>(menu)) : 0;
  row->selection = CB_ERR;
  return row->handle;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRow* row = findWindow(window);
  if (row == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (message) {
    case WM_SETFONT:
      row->font = reinterpret_cast<HFONT>(wParam);
      // Wine's combo box answers TRUE; the message has no defined result.
      return row->kind == WindowKind::comboBox ? 1 : 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(row->font);
    default:
      return row->kind == WindowKind::comboBox ? comboBoxMessage(row, message, wParam, lParam) : 0;
  }
}

BOOL WINAPI DestroyWindow(HWND window) {
  WindowRow* row = findWindow(window);
  if (row == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // Children go with their parent.
  for (WindowRow& child : windows) {
    if (child.handle != nullptr && child.parent == window) DestroyWindow(child.handle);
  }
  releaseRow(row);
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND parent, int id) {
  for (WindowRow& row : windows) {
    if (row.handle != nullptr && row.parent == parent && row.id == id) return row.handle;
  }
  return nullptr;
}

HWND WINAPI GetParent(HWND window) {
  WindowRow* row = findWindow(window);
  return row != nullptr && (row->style & WS_CHILD) != 0 ? row->parent : nullptr;
}

int WINAPI GetClassNameA(HWND window, LPSTR buffer, int size) {
  WindowRow* row = findWindow(window);
  if (row == nullptr) return 0;
  return copyOut(className(row->kind), buffer, size);
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
  WindowRow* row = findWindow(window);
  if (row == nullptr) return 0;
  const char* text = row->text;
  if (row->kind == WindowKind::comboBox) text = row->selection >= 0 ? row->items[row->selection] : "";
  return copyOut(text, buffer, size);
}

LONG WINAPI GetWindowLongA(HWND window, int index) {
  WindowRow* row = findWindow(window);
  if (row == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG>(row->style);
    case GWL_EXSTYLE:
      return static_cast<LONG>(row->exStyle);
    case GWL_ID:
      return row->id;
    default:
      return 0;
  }
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
  WindowRow* row = findWindow(window);
  if (row == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  windowRect(row, rect);
  return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  POINT a = screenOrigin(from);
  POINT b = screenOrigin(to);
  LONG dx = a.x - b.x;
  LONG dy = a.y - b.y;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return static_cast<int>((dx & 0xFFFF) | (static_cast<uint32_t>(dy) << 16));
}

BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (proc == nullptr) return FALSE;
  // In creation order, as Windows gives the children of a window that made
  // them one after another; grandchildren follow their own parent.
  HWND found[kMaxWindows];
  int count = 0;
  for (WindowRow& row : windows) {
    if (row.handle != nullptr && row.parent == parent) found[count++] = row.handle;
  }
  // Rows can be reused out of order; the handle tells the creation order.
  for (int i = 1; i < count; ++i) {
    for (int j = i; j > 0 && found[j - 1] > found[j]; --j) {
      HWND swap = found[j];
      found[j] = found[j - 1];
      found[j - 1] = swap;
    }
  }
  for (int i = 0; i < count; ++i) {
    if (findWindow(found[i]) == nullptr) continue;
    if (!proc(found[i], lParam)) return TRUE;
    EnumChildWindows(found[i], proc, lParam);
  }
  return TRUE;
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR face) {
  FontRow* row = nullptr;
  for (FontRow& candidate : fonts) {
    if (candidate.handle == nullptr) {
      row = &candidate;
      break;
    }
  }
  if (row == nullptr) return nullptr;
  memset(row, 0, sizeof *row);
  row->handle = reinterpret_cast<HFONT>(takeHandle());
  LOGFONTA& font = row->font;
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfEscapement = escapement;
  font.lfOrientation = orientation;
  font.lfWeight = weight;
  font.lfItalic = static_cast<BYTE>(italic);
  font.lfUnderline = static_cast<BYTE>(underline);
  font.lfStrikeOut = static_cast<BYTE>(strikeOut);
  font.lfCharSet = static_cast<BYTE>(charSet);
  font.lfOutPrecision = static_cast<BYTE>(outPrecision);
  font.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  font.lfQuality = static_cast<BYTE>(quality);
  font.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  // Windows keeps at most 31 bytes of the face name.
  if (face != nullptr) copyOut(face, font.lfFaceName, LF_FACESIZE);
  return row->handle;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  FontRow* row = findFont(object);
  if (row == nullptr) return FALSE;
  memset(row, 0, sizeof *row);
  return TRUE;
}

int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
  FontRow* row = findFont(object);
  if (row == nullptr) return 0;
  if (buffer == nullptr) return static_cast<int>(sizeof(LOGFONTA));
  if (size <= 0) return 0;
  size_t bytes = static_cast<size_t>(size) < sizeof(LOGFONTA) ? static_cast<size_t>(size) : sizeof(LOGFONTA);
  memcpy(buffer, &row->font, bytes);
  return static_cast<int>(bytes);
}
