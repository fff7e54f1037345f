#pragma once
// Splitting one host mail file: its enclosed messages (parts of type
// message/rfc822 of a multipart/mixed or multipart/digest mail) are imported into
// the account's inbox, then the mail is moved to the trash, deleted or kept.

#include <windows.h>

#include "ImportSink.h"  // the sink the split imports through, for the callers
#include "SettingsFiles.h"

class MailFile;

// The whole treatment of one mail file (closed on entry, closed on return). The
// source mail is moved or deleted only when at least one message was imported and
// none was lost or left unread (a failed read, a temporary file that could not be
// written, an import the host refused): otherwise some enclosed message would exist
// nowhere else. Messages the host took before or after a loss stay in the inbox;
// the source stays untouched beside them, so the user loses nothing (and a later
// split of it imports those messages a second time).
void SplitMailFile(MailFile& mail, const DigestSettings& settings, HWND owner);
