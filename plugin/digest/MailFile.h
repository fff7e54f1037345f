#pragma once
// One host mail file (".qnl") being examined: the names the host knows it by, and
// the reading and splitting operations on it. Created closed; opened once by the
// splitter, read forward only, closed before the host is asked to move or delete it.

#include <windows.h>

#include <cstdint>
#include <string>

#include "DigestWalk.h"
#include "FileByteSource.h"
#include "LineReader.h"
#include "MailNames.h"
#include "MimeText.h"
#include "WinHandles.h"

class TextBuffer;

class MailFile {
public:
    explicit MailFile(const char* path);
    virtual ~MailFile();
    MailFile(const MailFile&) = delete;
    MailFile& operator=(const MailFile&) = delete;

    // False when the path gave no host names (no "Account..." directory above the
    // file, or no extension): such a mail is left alone.
    bool HasNames() const { return hasNames; }
    const char* Path() const { return path.c_str(); }
    const char* MailName() const { return names.mailName.c_str(); }
    const char* TrashFolder() const { return names.trashFolder.c_str(); }
    const char* InboxFolder() const { return names.inboxFolder.c_str(); }
    const Delimiters& GetDelimiters() const { return delimiters; }

    // 1 when the file could be opened for reading, else 0.
    int Open();
    void Close();
    bool IsOpen() const { return handle.IsValid(); }

    int ReadLine(TextBuffer& buffer) { return reader.ReadLine(buffer); }
    int ReadHeaderLine(TextBuffer& buffer) { return reader.ReadHeaderLine(buffer); }
    void SkipHeaders() { reader.SkipHeaders(); }
    static const char* HeaderValue(const char* line) { return ::HeaderValue(line); }
    // Offset of the first byte not yet consumed; true once a read failed.
    uint64_t Position() const { return reader.Position(); }
    bool ReadFailed() const { return reader.Failed(); }

    MailType DetectType() { return ::DetectType(reader, &delimiters); }
    bool ParseBoundary(const char* value) { return ::ParseBoundary(value, &delimiters); }
    int SeekFirstBoundary() { return ::SeekFirstBoundary(reader, delimiters); }
    // Each enclosed message goes to a temporary file and is imported into the inbox.
    PartCode ReadPart(int32_t mark, int32_t midoku, bool* lost);
    SplitCount SplitParts(int32_t mark, int32_t midoku);
    // The same walks with another sink (memory, measurement).
    PartCode ReadPart(PartSink& sink, bool* lost) { return ::ReadPart(reader, delimiters, sink, lost); }
    SplitCount SplitParts(PartSink& sink) { return ::SplitParts(reader, delimiters, sink); }

    // The host's move to the account's trash, and its delete; results not used.
    void MoveOriginalToTrash();
    void DeleteOriginal();

    // Bytes per read of the file; 1 reads byte by byte (for measurement only).
    // Takes effect at the next Open.
    void SetReadChunkSize(uint32_t size) { chunkSize = size; }

private:
    std::string path;
    MailNames names;
    bool hasNames = false;
    UniqueFileHandle handle;
    Delimiters delimiters;
    FileByteSource source;
    LineReader reader;
    uint32_t chunkSize = LineReader::kDefaultChunkSize;
};
