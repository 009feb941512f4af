// One line of a profile file (a template, sstp.ini) as the profile
// functions read it: the native stand-ins parse files with it and `tpp lint`
// scans templates with it, so the two can't read a line differently.
#pragma once

#include <stddef.h>

enum class ProfileLineKind {
  blank,    // nothing but blanks
  section,  // "[name]": opens section `name`
  key,      // anything else: key `name`, with `value` when the line has '='
};

struct ProfileLine {
  ProfileLineKind kind;
  // Offsets into the text given to readProfileLine. For a section, the name
  // between '[' and the line's last ']'; for a key, the name before the
  // first '=' (the whole line when there is none). Trimmed of blanks and cut
  // at a NUL, so either may be empty.
  size_t nameStart;
  size_t nameEnd;
  // A key's value behind the first '=', trimmed and cut at a NUL; empty for
  // a section and for a key without '='.
  size_t valueStart;
  size_t valueEnd;
  bool hasValue;  // a key line with '='; one without gives the reader's default
};

// Reads the line text[start] to text[end - 1] (without its line end; a line
// ends at CR or LF). A line whose first non-blank byte is '[' is a section
// when a ']' follows among its characters (stepped by code page 932
// characters, so the 0x5D inside ゾ is no bracket); text behind the last
// ']' is ignored. Without one ("[open=x") the line is a key like any other,
// here one named "[open". Every other non-blank line is a key; there is no
// comment syntax (";k=v" is a key named ";k").
ProfileLine readProfileLine(const char* text, size_t start, size_t end);
