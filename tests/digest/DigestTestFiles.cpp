#include "DigestTestFiles.h"

#include "AnsiText.h"
#include "FakeHost.h"

void WritePikunoIni(const MailboxFolder& mailbox, const DigestSettings& settings) {
    WriteDigestSettings((mailbox.Path() + "Pikuno.ini").c_str(), settings);
}

std::string MessageText(int index, const char* lineEnd) {
    std::string n = std::to_string(index);
    std::string le = lineEnd;
    return "From: sender" + n + "@example.com" + le + "Subject: message " + n + le + le + "Body of message " + n + le;
}

std::string DigestOf(int count, const char* lineEnd, const char* type) {
    std::string le = lineEnd;
    std::string mail = "From: list@example.com" + le + "Subject: digest" + le + "MIME-Version: 1.0" + le +
                       "Content-Type: " + type + "; boundary=\"==B==\"" + le + le + "--==B==" + le;
    for (int i = 1; i <= count; ++i) {
        mail += "Content-Type: message/rfc822" + le + le + MessageText(i, lineEnd) + le;
        mail += (i == count ? "--==B==--" : "--==B==") + le;
    }
    return mail;
}

std::string ToCrLf(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

BoxWatcher::BoxWatcher(const char* caption, std::vector<int> answers)
    : caption_(caption), answers_(std::move(answers)), thread_([this] { Run(); }) {}

BoxWatcher::~BoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> BoxWatcher::Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

namespace {

struct ChildScan {
    std::string text;
    bool icon = false;
};

BOOL CALLBACK ScanChild(HWND child, LPARAM data) {
    ChildScan* scan = reinterpret_cast<ChildScan*>(data);
    char className[32];
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0 || !IsWindowVisible(child)) {
        return TRUE;
    }
    LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
        if (SendMessageA(child, STM_GETICON, 0, 0) != 0) {
            scan->icon = true;
        }
        return TRUE;
    }
    char line[256];
    ansi::WindowText(child, line, sizeof line);
    if (line[0] != '\0') {
        scan->text = line;
    }
    return TRUE;
}

bool ButtonShown(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

}  // namespace

void BoxWatcher::Run() {
    std::size_t answered = 0;
    while (!stop_) {
        HWND box = FindWindowA("#32770", caption_.c_str());
        if (!box || !IsWindowVisible(box)) {
            Sleep(5);
            continue;
        }
        Sleep(20);  // let the box finish its initialisation
        SeenBox seen;
        char caption[128];
        ansi::WindowText(box, caption, sizeof caption);
        seen.caption = caption;
        seen.owner = GetWindow(box, GW_OWNER);
        seen.yes = ButtonShown(box, IDYES);
        seen.no = ButtonShown(box, IDNO);
        seen.ok = ButtonShown(box, IDOK);
        seen.cancel = ButtonShown(box, IDCANCEL);
        ChildScan scan;
        EnumChildWindows(box, ScanChild, reinterpret_cast<LPARAM>(&scan));
        seen.text = scan.text;
        seen.icon = scan.icon;
        // The thread that shows the box is blocked in it: the log is still.
        seen.callsBefore = FakeHost::calls.size();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(seen);
        }
        int answer = answered < answers_.size() ? answers_[answered] : IDNO;
        ++answered;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
        for (int i = 0; i < 400 && IsWindow(box); ++i) {
            Sleep(5);
        }
    }
}

OwnerWindow::OwnerWindow() {
    window_ = CreateWindowA("STATIC", "digest test owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
}

OwnerWindow::~OwnerWindow() {
    if (window_) {
        DestroyWindow(window_);
    }
}
