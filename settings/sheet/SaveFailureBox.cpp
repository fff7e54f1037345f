#include "SaveFailureBox.h"

#include "BoundedText.h"
#include "LibraryState.h"

const char kSaveFailureFormat[] =
    "設定をファイルに保存できませんでした。\r\n%s\r\n\r\n"
    "ファイルが読み取り専用になっていないか、ほかのプログラムが使用していないかを確認してください。";

void ShowSaveFailure(HWND owner, const char* path) {
    // Room for the text and a whole path; a longer path would have been refused
    // before any write, so nothing is cut here.
    char message[sizeof kSaveFailureFormat + kPathBufferSize];
    text::Format(message, sizeof message, kSaveFailureFormat, path ? path : "");
    char title[kPathBufferSize];
    LibraryTitle(title, sizeof title);
    MessageBoxA(owner, message, title, MB_OK | MB_ICONERROR);
}
