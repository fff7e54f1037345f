#pragma once
// The walk through a multipart mail: type detection, delimiters, parts. It reads
// through a LineReader and hands every enclosed message to a PartSink, so that it
// runs over a mail file (MailFile, with temporary files and the host's import) as
// well as over memory. Free of <windows.h>.

#include <cstdint>
#include <string>
#include <vector>

#include "MimeText.h"

class LineReader;

// Receives the enclosed messages, one at a time, line by line.
class PartSink {
public:
    virtual ~PartSink() = default;
    // Starts one message. False when it cannot be stored; the walk then reads past
    // it and reports it as lost.
    virtual bool Begin() = 0;
    // One line of the message, without its line end; the sink ends it with CR LF.
    virtual bool WriteLine(const char* text, uint32_t length) = 0;
    // Ends the message. `complete`: Begin and every WriteLine succeeded and the
    // message was read without a read failure. True when the message was imported.
    virtual bool End(bool complete) = 0;
};

// Results of ReadPart.
enum PartCode : int {
    kPartMessage = 0,       // an enclosed message; another part may follow
    kPartSkipped = 1,       // not an enclosed message; another part follows
    kPartMessageLast = 2,   // an enclosed message ended by the close delimiter
    kPartSkippedLast = 3,   // not an enclosed message; no part follows
};

struct SplitCount {
    int imported = 0;  // enclosed messages the sink took
    int lost = 0;      // enclosed messages the sink could not take
};

// Reads the header block from the start; for a multipart type sets the delimiters
// and leaves the reader at the first line of the body.
MailType DetectType(LineReader& reader, Delimiters* delimiters);
// 1 when an open-delimiter line was consumed; 0 when the close-delimiter line or
// the end came first.
int SeekFirstBoundary(LineReader& reader, const Delimiters& delimiters);
// One part, starting after its delimiter line. *lost is set when the part was an
// enclosed message that the sink could not take.
PartCode ReadPart(LineReader& reader, const Delimiters& delimiters, PartSink& sink, bool* lost);
// Every part, starting at the first line of the body.
SplitCount SplitParts(LineReader& reader, const Delimiters& delimiters, PartSink& sink);

// A sink that keeps the messages in memory, each line ended by CR LF.
class MemoryPartSink : public PartSink {
public:
    bool Begin() override;
    bool WriteLine(const char* text, uint32_t length) override;
    bool End(bool complete) override;

    std::vector<std::string> messages;

private:
    std::string current_;
};
