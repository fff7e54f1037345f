#pragma once
// The Subject of a TOP n 0 reply, decoded for display in Shift_JIS. Pure byte
// work, free of <windows.h>, so that it runs and is fuzzed natively.

// Shown for a header without a usable Subject line. A constant: never released.
extern const char kNoSubject[];

// Finds the first line of reply that begins with "Subject" (7 characters, any
// case), takes what follows its first colon less leading blanks, and decodes it
// (encoded words, then ISO-2022-JP). reply is split into lines in place.
// Returns a malloc'ed text, or kNoSubject when no line matches, the line has no
// colon, or memory runs out. An empty value gives an empty text, not kNoSubject.
char* ExtractSubjectFromReply(char* reply);

// Releases a result of ExtractSubjectFromReply (kNoSubject is left alone).
void ReleaseSubject(char* subject);
