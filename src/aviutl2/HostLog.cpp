#include "aviutl2/HostLog.h"

#include "common/Cp932.h"

namespace {

// Guards `logger` and the calls through it: the host does not say that its
// logger may be called from several threads at once.
SRWLOCK logLock = SRWLOCK_INIT;
aviutl2::LOG_HANDLE* logger = nullptr;

constexpr wchar_t kPrefix[] = L"SSTP: ";

}  // namespace

LogText& LogText::add(const wchar_t* text) {
  for (; text != nullptr && *text != L'\0' && length + 1 < aviutl2::kLogCharacters; ++text) chars[length++] = *text;
  chars[length] = L'\0';
  return *this;
}

LogText& LogText::addNumber(int64_t value) {
  wchar_t digits[24];
  size_t count = 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[count++] = L'-';
  wchar_t text[24];
  for (size_t i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
  text[count] = L'\0';
  return add(text);
}

LogText& LogText::addCp932(const char* text) {
  wchar_t wide[aviutl2::kLogCharacters];
  wideOfCp932(text, wide, aviutl2::kLogCharacters);
  return add(wide);
}

void setHostLogger(aviutl2::LOG_HANDLE* handle) {
  AcquireSRWLockExclusive(&logLock);
  logger = handle;
  ReleaseSRWLockExclusive(&logLock);
}

void logLine(LogLevel level, const LogText& text) { logLine(level, text.chars); }

void logLine(LogLevel level, const wchar_t* text) {
  LogText line;
  line.add(kPrefix).add(text);
  AcquireSRWLockExclusive(&logLock);
  if (logger != nullptr) {
    switch (level) {
      case LogLevel::info: logger->info(logger, line.chars); break;
      case LogLevel::warn: logger->warn(logger, line.chars); break;
      case LogLevel::error: logger->error(logger, line.chars); break;
    }
  }
  ReleaseSRWLockExclusive(&logLock);
}

void wideOfCp932(const char* text, wchar_t* wide, size_t size) {
  wide[0] = L'\0';
  if (text == nullptr) return;
  // Whole characters, as many as fit: each is one UTF-16 unit.
  size_t bytes = 0;
  size_t characters = 0;
  while (text[bytes] != '\0' && characters + 1 < size) {
    bytes += cp932Step(text + bytes);
    ++characters;
  }
  if (bytes == 0) return;
  int converted = MultiByteToWideChar(932, 0, text, static_cast<int>(bytes), wide, static_cast<int>(size - 1));
  wide[converted > 0 ? converted : 0] = L'\0';
}
