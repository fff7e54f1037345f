#include "MailFile.h"

#include "HostApi.h"
#include "ImportSink.h"

MailFile::MailFile(const char* path) : path(path ? path : "") {
    hasNames = DeriveMailNames(this->path.c_str(), &names);
}

MailFile::~MailFile() {
    Close();
}

int MailFile::Open() {
    Close();
    handle.Reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) {
        return 0;
    }
    source.SetHandle(handle.Get());
    reader.Attach(&source, chunkSize);
    return 1;
}

void MailFile::Close() {
    if (handle.IsValid()) {
        reader.Attach(nullptr);
        source.SetHandle(INVALID_HANDLE_VALUE);
        handle.Reset();
    }
}

PartCode MailFile::ReadPart(int32_t mark, int32_t midoku, bool* lost) {
    TempFileImportSink sink(names.inboxFolder.c_str(), ImportFlags(mark, midoku));
    return ReadPart(sink, lost);
}

SplitCount MailFile::SplitParts(int32_t mark, int32_t midoku) {
    TempFileImportSink sink(names.inboxFolder.c_str(), ImportFlags(mark, midoku));
    return SplitParts(sink);
}

void MailFile::MoveOriginalToTrash() {
    if (gHostApi.VhxMoveMail) {
        gHostApi.VhxMoveMail(names.mailName.c_str(), names.trashFolder.c_str());
    }
}

void MailFile::DeleteOriginal() {
    if (gHostApi.VhxDeleteMail) {
        gHostApi.VhxDeleteMail(names.mailName.c_str());
    }
}
