// Stand-in for <windows.h> in the native build: the types, constants and
// functions of the Windows API that the plug-in, its tools and its tests use.
// The functions are implemented in src/platform/*.cpp on top of POSIX and
// behave as the real ones do for every input this project gives them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// C linkage, as in the real header: a host can look the functions up in a
// loaded module by their plain names.
#ifdef __cplusplus
extern "C" {
#endif

#if defined(__i386__)
#define WINAPI __attribute__((stdcall))
#define __cdecl __attribute__((cdecl))
#else
#define WINAPI
#define __cdecl
#endif
#define CALLBACK WINAPI
// Only dllexport is used: natively it means default visibility.
#define __declspec(x) __attribute__((visibility("default")))
#define APIENTRY WINAPI

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned short USHORT;
typedef unsigned char UCHAR;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int INT;
typedef int32_t LONG;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD LCID;

// Handles are opaque: nothing behind them is ever dereferenced.
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HFONT__* HFONT;
typedef struct HMENU__* HMENU;
typedef void* HGDIOBJ;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xffff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)((WORD)(l) | ((DWORD)(WORD)(h) << 16)))

// Errors (GetLastError)
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_INVALID_HANDLE 6
#define ERROR_NO_MORE_FILES 18
#define ERROR_INSUFFICIENT_BUFFER 122
#define ERROR_MOD_NOT_FOUND 126
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_CLASS_DOES_NOT_EXIST 1411
#define ERROR_TLW_WITH_WSCHILD 1406
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD code);

// Locale comparison
#define LOCALE_USER_DEFAULT 0x400
#define NORM_IGNORECASE 0x00000001
#define NORM_IGNOREWIDTH 0x00020000
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
int WINAPI CompareStringA(LCID locale, DWORD flags, LPCSTR a, int aLength, LPCSTR b, int bLength);

// Profile (INI) files
DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText,
                                      LPSTR buffer, DWORD size, LPCSTR file);
UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR file);

// Directory search
typedef struct _FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME;
#define FILE_ATTRIBUTE_HIDDEN 0x2
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_ARCHIVE 0x20
#define FILE_ATTRIBUTE_NORMAL 0x80
typedef struct _WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE search);

// Modules
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// Windows and controls
#define WM_DESTROY 0x0002
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_COMMAND 0x0111
#define WM_USER 0x0400
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define SS_RIGHT 0x00000002L
#define CBS_DROPDOWNLIST 0x0003L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)
#define CB_ADDSTRING 0x0143
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_SETCURSEL 0x014E
#define CB_GETDROPPEDCONTROLRECT 0x0152
#define CBN_SELCHANGE 1
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI DestroyWindow(HWND window);

// Looking at windows (the host emulator's control dump). The stand-in puts
// the host's own window at the screen's origin.
typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT, *LPRECT;
typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT, *LPPOINT;
#define GWL_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define HWND_DESKTOP ((HWND)0)
typedef BOOL(CALLBACK* WNDENUMPROC)(HWND window, LPARAM lParam);
HWND WINAPI GetDlgItem(HWND parent, int id);
HWND WINAPI GetParent(HWND window);
int WINAPI GetClassNameA(HWND window, LPSTR buffer, int size);
int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size);
LONG WINAPI GetWindowLongA(HWND window, int index);
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);
int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);
BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);

// Fonts
#define FW_MEDIUM 500
#define SHIFTJIS_CHARSET 128
#define PROOF_QUALITY 2
#define DEFAULT_PITCH 0
#define FF_MODERN (3 << 4)
HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight,
                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                         DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                         DWORD pitchAndFamily, LPCSTR face);
BOOL WINAPI DeleteObject(HGDIOBJ object);
#define LF_FACESIZE 32
typedef struct tagLOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA;
int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID buffer);

// Message boxes
#define MB_OK 0x0
#define MB_ICONERROR 0x10
#define IDOK 1
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
// Stand-in only: what GetPrivateProfileStringA leaves in a byte of the
// buffer that Windows leaves unwritten (a text cut inside a double-byte
// character), unless that byte held 0. Windows leaves whatever memory held
// there; the marker makes a read of it show the same byte in every run.
constexpr unsigned char kProfileUnwrittenByte = 0xFF;
#endif
