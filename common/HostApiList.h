#pragma once
// The host plug-in API: the 34 functions the host exports from its executable,
// in the order the plug-in binds them, with the size of their arguments in bytes.
// The exported (decorated) name is "_" + name + "@" + bytes, on both targets.
// Shared by the plug-in (which binds them) and the stand-in host (which exports them).

#define PIKUNO_HOST_API_LIST(X)      \
    X(VhxRegistCallback, 8)          \
    X(VhxSetTimer, 12)               \
    X(VhxKillTimer, 4)               \
    X(VhxIsBusy, 0)                  \
    X(VhxExecQuenla, 4)              \
    X(VhxGetMailbox, 0)              \
    X(VhxGetAccount, 4)              \
    X(VhxGetFolderName, 4)           \
    X(VhxImportFile, 12)             \
    X(VhxSaveMail, 16)               \
    X(VhxMoveMail, 8)                \
    X(VhxMarkMail, 12)               \
    X(VhxDeleteMail, 4)              \
    X(VhxFolderGetCurrentFolder, 4)  \
    X(VhxFolderGetCurrentEntry, 4)   \
    X(VhxFolderGetSelectEntry, 8)    \
    X(VhxFolderChangePassword, 8)    \
    X(VhxFolderMailTo, 8)            \
    X(VhxFolderReply, 8)             \
    X(VhxFolderForward, 8)           \
    X(VhxFolderOpenMail, 12)         \
    X(VhxSendGetText, 8)             \
    X(VhxSendGetHeader, 4)           \
    X(VhxSendSetText, 8)             \
    X(VhxSendSetHeader, 8)           \
    X(VhxSendGetEditor, 4)           \
    X(VhxViewGetText, 4)             \
    X(VhxViewGetHeader, 4)           \
    X(VhxViewSetText, 8)             \
    X(VhxViewGetPath, 4)             \
    X(VhxViewGetEditor, 4)           \
    X(VhxViewChangeMail, 8)          \
    X(VhxSjisToJis, 12)              \
    X(VhxJisToSjis, 12)

#define PIKUNO_HOST_API_DECORATED(name, bytes) "_" #name "@" #bytes

constexpr int kHostApiFunctionCount = 34;

// The host's receive command: posting WM_COMMAND with it starts the host's retrieval.
constexpr unsigned kHostReceiveCommand = 32786;
