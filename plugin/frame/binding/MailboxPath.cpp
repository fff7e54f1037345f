#include "MailboxPath.h"

#include "BoundedText.h"
#include "HostApi.h"

char* BuildMailboxPath(char* buffer, const char* piece1, const char* piece2, const char* piece3,
                       const char* piece4) {
    if (!buffer) {
        return nullptr;
    }
    const char* mailbox = gHostApi.VhxGetMailbox ? gHostApi.VhxGetMailbox() : nullptr;
    if (!mailbox) {
        buffer[0] = '\0';
        return nullptr;
    }
    bool fits = text::Copy(buffer, kPathBufferSize, mailbox);
    if (fits && piece1) {
        fits = text::Append(buffer, kPathBufferSize, piece1);
    }
    if (fits && piece2) {
        fits = (!piece1 || text::Append(buffer, kPathBufferSize, "\\")) &&
               text::Append(buffer, kPathBufferSize, piece2);
    }
    if (fits && piece3) {
        fits = (!(piece1 || piece2) || text::Append(buffer, kPathBufferSize, "\\")) &&
               text::Append(buffer, kPathBufferSize, piece3);
    }
    if (fits && piece4) {
        fits = text::Append(buffer, kPathBufferSize, piece4);
    }
    if (!fits) {
        buffer[0] = '\0';
        return nullptr;
    }
    return buffer;
}
