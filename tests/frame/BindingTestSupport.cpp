#include "BindingTestSupport.h"

#include <windows.h>

const char kBindErrorCaption[] = "\x83\x76\x83\x89\x83\x4f\x83\x43\x83\x93\x83\x47\x83\x89\x81\x5b";
const char kBindErrorText[] =
    "プラグイン「Pikuno」でエラーが発生しました。\r\nQuenla32とプラグインのバージョンを確認してください";

std::string BindingProgramDir() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string BindingPluginPath() {
    std::string dir = BindingProgramDir();
    dir.pop_back();
    return dir.substr(0, dir.find_last_of('\\') + 1) + "Pikuno.dll";
}
