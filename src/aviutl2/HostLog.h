// The host's log: where this plug-in reports what went wrong (a refused
// load, a notice not delivered, an unreadable file, a folder without
// templates), one line each, never in a message box. Any thread may log;
// lines reach the host one at a time. Nothing here allocates.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "aviutl2/Aviutl2Interface.h"

enum class LogLevel { info, warn, error };

// A line being put together in a fixed buffer of the characters the host
// keeps; what does not fit is cut off.
struct LogText {
  wchar_t chars[aviutl2::kLogCharacters] = {};
  size_t length = 0;

  // Each appends and returns the line itself: text as it is, a number in
  // decimal, a Shift_JIS (code page 932) text converted.
  LogText& add(const wchar_t* text);
  LogText& addNumber(int64_t value);
  LogText& addCp932(const char* text);
};

// Keeps the host's logger for every later line; null drops them.
void setHostLogger(aviutl2::LOG_HANDLE* logger);

// Writes "SSTP: " and `text` as one line at `level`, cut to fewer than
// 1024 characters. Nothing happens without a logger.
void logLine(LogLevel level, const LogText& text);
void logLine(LogLevel level, const wchar_t* text);

// Writes `text`, a Shift_JIS (code page 932) text, into `wide` of `size`
// characters (at least 1) as UTF-16, cut to fit, with its terminator; the
// empty text when `text` is null or can't be converted.
void wideOfCp932(const char* text, wchar_t* wide, size_t size);
