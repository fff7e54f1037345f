#include "MailboxScan.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "BoundedText.h"
#include "HeaderFields.h"
#include "Pop3Reply.h"
#include "Pop3Session.h"
#include "SubjectExtract.h"

ScannedMessage* gScanTable = nullptr;

// Chosen by measurement. bench_scan_window, 2,000 messages from a scripted
// server 15 ms away each way: 3.8 s with 256 bytes in flight, 1.9 s with 1 KB,
// 0.80 s with 4 KB, 0.66 s with 16 KB. Through tools/pop3relay.py at 30 ms to
// Dovecot (tools/bench-receive.sh) 4 KB brings the first scan of 2,000 messages
// to the dialog in 0.51 s, the wire's last reply 0.41 s after connecting, with
// at most 382 replies owed. A TOP command is about 12 bytes, so 4 KB are some
// 340 commands: far below the smallest socket buffer, so a send never waits for
// a server that is itself waiting for us to read.
const int kScanWindowBytesDefault = 4096;

namespace {

int gWindowBytes = kScanWindowBytesDefault;
int32_t gScanCount = 0;  // entries of gScanTable: the count of the LIST scanned
ScanProgressCallback gProgress = nullptr;
void* gProgressContext = nullptr;

struct Command {
    enum Kind : int32_t { kUidlListing, kUidlOne, kTop } kind;
    int32_t n;
    int32_t bytes;  // its length on the wire, once sent
};

// The commands of one scan in the order they go out; commands learnt from a
// reply (the "uidl n" after a listing) are appended behind the others.
struct CommandQueue {
    Command* items = nullptr;
    int32_t size = 0;
    int32_t capacity = 0;

    ~CommandQueue() { std::free(items); }
    bool Push(Command command) {
        if (size == capacity) {
            int32_t grown = capacity < 16 ? 16 : capacity * 2;
            void* bigger = std::realloc(items, static_cast<std::size_t>(grown) * sizeof(Command));
            if (!bigger) {
                return false;
            }
            items = static_cast<Command*>(bigger);
            capacity = grown;
        }
        items[size++] = command;
        return true;
    }
};

// Appends the bytes of one command to out (at least 32 bytes free).
std::size_t FormatCommand(const Command& command, char* out, std::size_t room) {
    switch (command.kind) {
    case Command::kUidlListing:
        return text::Format(out, room, "uidl\r\n") ? std::strlen(out) : 0;
    case Command::kUidlOne:
        return text::Format(out, room, "uidl %d\r\n", static_cast<int>(command.n)) ? std::strlen(out) : 0;
    case Command::kTop:
        return text::Format(out, room, "top %d 0\r\n", static_cast<int>(command.n)) ? std::strlen(out) : 0;
    }
    return 0;
}

char* CopyText(const char* text) {
    std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy) {
        std::memcpy(copy, text, size);
    }
    return copy;
}

// The header of a TOP reply, before the subject extraction splits the reply.
char* CopyHeaderBlock(const char* reply) {
    if (!reply) {
        return nullptr;
    }
    std::size_t length = 0;
    const char* block = HeaderBlockOfReply(reply, std::strlen(reply), &length);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy) {
        std::memcpy(copy, block, length);
        copy[length] = '\0';
    }
    return copy;
}

bool Wanted(const bool* needUidl, int32_t n) {
    return !needUidl || needUidl[n - 1];
}

// Takes the listing's UIDLs into the table and queues "uidl n" for every wanted
// message it lacked. False when memory ran out.
bool TakeListing(const bool* needUidl, CommandQueue* queue) {
    const int32_t count = gScanCount;
    if (PopIsOk()) {
        char** found = static_cast<char**>(std::calloc(static_cast<std::size_t>(count), sizeof(char*)));
        if (!found) {
            return false;
        }
        pop3::ParseUidlListing(gResponseBuffer, count, found);
        for (int32_t i = 0; i < count; ++i) {
            if (found[i] && Wanted(needUidl, i + 1)) {
                gScanTable[i].uidl = CopyText(found[i]);
            }
        }
        std::free(found);
    }
    for (int32_t n = 1; n <= count; ++n) {
        if (Wanted(needUidl, n) && !gScanTable[n - 1].uidl && !queue->Push({Command::kUidlOne, n, 0})) {
            return false;
        }
    }
    return true;
}

// False when a message that may be set aside has no UIDL (a copy that memory
// could not hold): unticking it, or the size limit, would change nothing.
bool EveryWantedUidlKnown(const bool* needUidl) {
    for (int32_t n = 1; n <= gScanCount; ++n) {
        if (Wanted(needUidl, n) && !gScanTable[n - 1].uidl) {
            return false;
        }
    }
    return true;
}

}  // namespace

void ScanSetWindowBytes(int bytes) {
    gWindowBytes = bytes > 0 ? bytes : kScanWindowBytesDefault;
}

void ScanSetProgressCallback(ScanProgressCallback callback, void* context) {
    gProgress = callback;
    gProgressContext = context;
}

namespace {

// Queues "top n 0" for every message the classifier (or, without one,
// subjects) asks a header for. False when memory ran out or the classifier
// failed.
bool QueueTops(bool subjects, ScanClassifier classify, void* context, CommandQueue* queue) {
    const int32_t count = gScanCount;
    if (!classify) {
        for (int32_t n = 1; subjects && n <= count; ++n) {
            if (!queue->Push({Command::kTop, n, 0})) {
                return false;
            }
        }
        return true;
    }
    bool* wantTop = static_cast<bool*>(std::calloc(static_cast<std::size_t>(count), sizeof(bool)));
    bool ok = wantTop && classify(context, wantTop);
    for (int32_t n = 1; ok && n <= count; ++n) {
        ok = !wantTop[n - 1] || queue->Push({Command::kTop, n, 0});
    }
    std::free(wantTop);
    return ok;
}

ScanOutcome RunScan(bool subjects, const bool* needUidl, bool pipelining, ScanClassifier classify, void* context) {
    ScanRelease();
    const int32_t count = gMessageCount;
    if (count <= 0) {
        return ScanOutcome::kComplete;
    }
    gScanTable = static_cast<ScannedMessage*>(std::calloc(static_cast<std::size_t>(count), sizeof(ScannedMessage)));
    if (!gScanTable) {
        return ScanOutcome::kBroken;
    }
    gScanCount = count;

    CommandQueue queue;
    bool anyUidl = false;
    for (int32_t n = 1; n <= count && !anyUidl; ++n) {
        anyUidl = Wanted(needUidl, n);
    }
    if (anyUidl && !queue.Push({Command::kUidlListing, 0, 0})) {
        return ScanOutcome::kBroken;
    }
    // Without a classifier the headers go out behind the listing at once; with
    // one, only once every UIDL is known, so that no header is asked for a
    // message the host has already.
    bool topsQueued = !classify;
    if (!classify && !QueueTops(subjects, nullptr, nullptr, &queue)) {
        return ScanOutcome::kBroken;
    }

    // The window bounds the bytes of commands the server may have to hold for
    // us, and so the replies owed: neither side's buffers can fill while the
    // other waits. One command always goes out.
    const int32_t windowBytes = pipelining ? gWindowBytes : 1;
    int32_t sent = 0;
    int32_t read = 0;
    int32_t inFlight = 0;
    int32_t done = 0;
    std::string batch;
    for (;;) {
        if (!topsQueued && read == queue.size) {
            topsQueued = true;
            if (!QueueTops(subjects, classify, context, &queue)) {
                return ScanOutcome::kBroken;
            }
        }
        if (read == queue.size) {
            break;
        }
        // Fill the window: every command keeps its own bytes; those that fit go
        // out together in one send.
        batch.clear();
        while (sent < queue.size) {
            char command[32];
            std::size_t length = FormatCommand(queue.items[sent], command, sizeof command);
            if (sent > read && inFlight + static_cast<int32_t>(length) > windowBytes) {
                break;
            }
            batch.append(command, length);
            queue.items[sent].bytes = static_cast<int32_t>(length);
            inFlight += static_cast<int32_t>(length);
            ++sent;
        }
        if (!batch.empty() && !PopSendBytes(batch.data(), batch.size())) {
            return PopCancelled() ? ScanOutcome::kCancelled : ScanOutcome::kBroken;
        }

        const Command command = queue.items[read++];
        inFlight -= command.bytes;
        PopReadResponse(command.kind != Command::kUidlOne);
        if (PopReplyCut()) {
            return PopCancelled() ? ScanOutcome::kCancelled : ScanOutcome::kBroken;
        }
        switch (command.kind) {
        case Command::kUidlListing:
            if (!TakeListing(needUidl, &queue)) {
                return ScanOutcome::kBroken;
            }
            break;
        case Command::kUidlOne: {
            // Refused, another message's answer, or no UIDL that the host's file
            // can hold: the message cannot be set aside, so no choice is offered.
            const char* uidl = pop3::ParseUidlReply(gResponseBuffer, command.n);
            if (!uidl) {
                return ScanOutcome::kBroken;
            }
            gScanTable[command.n - 1].uidl = CopyText(uidl);
            ++done;
            break;
        }
        case Command::kTop:
            gScanTable[command.n - 1].header = CopyHeaderBlock(gResponseBuffer);
            gScanTable[command.n - 1].subject = ExtractSubjectFromReply(gResponseBuffer);
            ++done;
            break;
        }
        if (gProgress && !gProgress(gProgressContext, done, queue.size - (anyUidl ? 1 : 0))) {
            return ScanOutcome::kCancelled;
        }
    }
    // A reply the server owed no command: every reply from where it came in
    // belongs to the command before, and the rows would show their neighbours.
    if (PopBytesBeyondReply()) {
        return ScanOutcome::kBroken;
    }
    return EveryWantedUidlKnown(needUidl) ? ScanOutcome::kComplete : ScanOutcome::kBroken;
}

}  // namespace

ScanOutcome ScanMailbox(bool subjects, const bool* needUidl, bool pipelining) {
    return RunScan(subjects, needUidl, pipelining, nullptr, nullptr);
}

ScanOutcome ScanMailboxClassified(const bool* needUidl, bool pipelining, ScanClassifier classify, void* context) {
    return RunScan(false, needUidl, pipelining, classify, context);
}

const char* ScannedUidl(int32_t n) {
    if (!gScanTable || n < 1 || n > gScanCount) {
        return nullptr;
    }
    return gScanTable[n - 1].uidl;
}

char* ScannedSubject(int32_t n) {
    if (!gScanTable || n < 1 || n > gScanCount || !gScanTable[n - 1].subject) {
        return const_cast<char*>(kNoSubject);
    }
    return gScanTable[n - 1].subject;
}

void ScanRelease() {
    for (int32_t i = 0; gScanTable && i < gScanCount; ++i) {
        std::free(gScanTable[i].uidl);
        std::free(gScanTable[i].header);
        ReleaseSubject(gScanTable[i].subject ? gScanTable[i].subject : const_cast<char*>(kNoSubject));
    }
    std::free(gScanTable);
    gScanTable = nullptr;
    gScanCount = 0;
}
