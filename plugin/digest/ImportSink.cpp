#include "ImportSink.h"

#include <cstring>
#include <new>

#include "BoundedText.h"
#include "HostApi.h"

namespace {

constexpr uint32_t kPendingSize = 64 * 1024;

}  // namespace

DWORD ImportFlags(int32_t mark, int32_t midoku) {
    DWORD flags = (mark >= 0 && mark <= 7) ? static_cast<DWORD>(mark) : 0;
    if (midoku != 0) {
        flags |= kImportUnread;
    }
    return flags;
}

TempFileImportSink::TempFileImportSink(const char* inboxFolder, DWORD flags)
    : inboxFolder_(inboxFolder), flags_(flags) {
    path_[0] = '\0';
}

TempFileImportSink::~TempFileImportSink() {
    Discard();
    delete[] pending_;
}

void TempFileImportSink::Discard() {
    file_.Reset();
    if (path_[0] != '\0') {
        DeleteFileA(path_);
        path_[0] = '\0';
    }
    pendingLength_ = 0;
    writeFailed_ = false;
}

bool TempFileImportSink::Begin() {
    Discard();
    if (!pending_) {
        pending_ = new (std::nothrow) char[kPendingSize];
        if (!pending_) {
            return false;
        }
    }
    char directory[kPathBufferSize];
    DWORD length = GetTempPathA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory) {
        return false;  // no temporary directory, or one that does not fit
    }
    // GetTempFileNameA creates the empty file and needs MAX_PATH bytes for the name.
    static_assert(sizeof path_ >= MAX_PATH, "GetTempFileNameA writes up to MAX_PATH bytes");
    if (GetTempFileNameA(directory, "dgtm", 0, path_) == 0) {
        path_[0] = '\0';
        return false;
    }
    file_.Reset(CreateFileA(path_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_.IsValid();
}

bool TempFileImportSink::Flush() {
    if (pendingLength_ == 0) {
        return true;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file_.Get(), pending_, pendingLength_, &written, nullptr);
    bool whole = ok && written == pendingLength_;
    pendingLength_ = 0;
    if (!whole) {
        writeFailed_ = true;
    }
    return whole;
}

bool TempFileImportSink::WriteLine(const char* text, uint32_t length) {
    if (!file_.IsValid() || writeFailed_) {
        return false;
    }
    // A long line goes out in pieces; the CR LF always fits after a flush.
    while (length > 0) {
        if (pendingLength_ == kPendingSize && !Flush()) {
            return false;
        }
        uint32_t room = kPendingSize - pendingLength_;
        uint32_t piece = length < room ? length : room;
        std::memcpy(pending_ + pendingLength_, text, piece);
        pendingLength_ += piece;
        text += piece;
        length -= piece;
    }
    if (kPendingSize - pendingLength_ < 2 && !Flush()) {
        return false;
    }
    pending_[pendingLength_++] = '\r';
    pending_[pendingLength_++] = '\n';
    return true;
}

bool TempFileImportSink::End(bool complete) {
    bool written = complete && file_.IsValid() && !writeFailed_ && Flush();
    if (file_.IsValid()) {
        // A failed close may mean data that never reached the file.
        written = file_.Close() && written;
    }
    // FALSE from the host (its store full, its folder index locked) is a message
    // it does not hold: counted as lost, so that the source mail is kept.
    bool imported = written && gHostApi.VhxImportFile &&
                    gHostApi.VhxImportFile(path_, inboxFolder_, flags_) != FALSE;
    Discard();  // the temporary file is deleted in every case
    return imported;
}
