#pragma once
// The dial-up connection of an account that connects by dial-up, through
// "rasapi32.dll" loaded for each operation (the plug-in also runs without RAS).

#include <windows.h>
#include <ras.h>

// The connection DialUp opened; 0 when there is none.
extern HRASCONN gDialUpConnection;

// Dials the named phone-book entry synchronously; true when the line is up.
bool DialUp(const char* entryName);

// Hangs up gDialUpConnection (when set) and clears it.
void HangUp();
