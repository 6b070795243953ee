#include "dialogs.h"

#include "events.h"
#include "win32_util.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

enum class EntryState { Waiting, Pressed, Failed };

struct Entry {
    ScriptedDialog script;
    EntryState state = EntryState::Waiting;
};

struct Seen {
    HWND hwnd;
    bool answered = false;
    bool waitReported = false;
};

struct Watcher {
    std::vector<Entry> entries;
    std::vector<Seen> seen;
    HANDLE thread = nullptr;
    volatile LONG stop = 0;
};

Watcher watcher;

bool captionMatches(const std::string& pattern, const std::string& caption) {
    if (!pattern.empty() && pattern.back() == '*')
        return caption.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return pattern == caption;
}

std::string withoutMnemonics(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

bool isPushButton(HWND control) {
    if (lstrcmpiA(windowClass(control).c_str(), "Button") != 0) return false;
    LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

struct ChildList {
    std::vector<HWND> children;
};

BOOL CALLBACK collectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<ChildList*>(param)->children.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND dialog) {
    ChildList list;
    EnumChildWindows(dialog, collectChild, reinterpret_cast<LPARAM>(&list));
    return list.children;
}

BOOL CALLBACK collectDialog(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && windowClass(hwnd) == "#32770")
        reinterpret_cast<ChildList*>(param)->children.push_back(hwnd);
    return TRUE;
}

void reportDialog(HWND dialog) {
    std::string caption = windowText(dialog);
    emitEvent("dialog caption=" + quoteEventText(caption));
    for (HWND child : childrenOf(dialog)) {
        std::string cls = windowClass(child);
        const char* kind = nullptr;
        if (lstrcmpiA(cls.c_str(), "Static") == 0)
            kind = "static";
        else if (lstrcmpiA(cls.c_str(), "Edit") == 0)
            kind = "edit";
        if (!kind) continue;
        std::string text = windowText(child);
        if (text.empty()) continue;
        emitEvent(std::string("dialog-text kind=") + kind + " text=" + quoteEventText(text));
    }
}

HWND findButton(HWND dialog, const std::string& name, std::string& available) {
    bool byId = name.size() > 1 && name[0] == '#';
    int id = byId ? std::atoi(name.c_str() + 1) : 0;
    for (HWND child : childrenOf(dialog)) {
        if (!isPushButton(child) || !IsWindowVisible(child)) continue;
        std::string text = withoutMnemonics(windowText(child));
        if (!available.empty()) available += '|';
        available += text;
        if (byId ? GetDlgCtrlID(child) == id : text == name) return child;
    }
    return nullptr;
}

void answer(Seen& dialog) {
    std::string caption = windowText(dialog.hwnd);
    for (Entry& entry : watcher.entries) {
        if (entry.state != EntryState::Waiting || !captionMatches(entry.script.caption, caption))
            continue;
        std::string available;
        HWND button = findButton(dialog.hwnd, entry.script.button, available);
        if (!button) {
            emitEvent("dialog-button-missing caption=" + quoteEventText(caption) +
                      " button=" + quoteEventText(entry.script.button) +
                      " buttons=" + quoteEventText(available));
            entry.state = EntryState::Failed;
            dialog.answered = true;
            // Close it so the run does not hang on a dialog nobody will answer.
            PostMessageA(dialog.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        if (!IsWindowEnabled(button)) {
            if (!dialog.waitReported)
                emitEvent("dialog-wait caption=" + quoteEventText(caption) +
                          " button=" + quoteEventText(entry.script.button));
            dialog.waitReported = true;
            return;
        }
        emitEvent("dialog-press caption=" + quoteEventText(caption) +
                  " button=" + quoteEventText(entry.script.button));
        PostMessageA(dialog.hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        entry.state = EntryState::Pressed;
        dialog.answered = true;
        return;
    }
}

void scan() {
    for (size_t i = 0; i < watcher.seen.size();) {
        if (!IsWindow(watcher.seen[i].hwnd))
            watcher.seen.erase(watcher.seen.begin() + long(i));
        else
            ++i;
    }
    ChildList dialogs;
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND hwnd : dialogs.children) {
        bool known = false;
        for (const Seen& s : watcher.seen) known = known || s.hwnd == hwnd;
        if (!known) {
            reportDialog(hwnd);
            watcher.seen.push_back(Seen{hwnd});
        }
    }
    for (Seen& s : watcher.seen)
        if (!s.answered) answer(s);
}

DWORD WINAPI watcherThread(void*) {
    try {
        while (!watcher.stop) {
            scan();
            // Polling is how this thread notices dialogs of other threads; 15 ms keeps
            // answers prompt without measurable load.
            Sleep(15);
        }
        scan();
    } catch (...) {
        emitEvent("error message=\"dialog watcher failed\"");
    }
    return 0;
}

} // namespace

void startDialogWatcher(const std::vector<ScriptedDialog>& script) {
    for (const ScriptedDialog& d : script) watcher.entries.push_back(Entry{d});
    watcher.thread = CreateThread(nullptr, 0, watcherThread, nullptr, 0, nullptr);
}

bool stopDialogWatcher() {
    InterlockedExchange(&watcher.stop, 1);
    if (watcher.thread) {
        WaitForSingleObject(watcher.thread, INFINITE);
        CloseHandle(watcher.thread);
        watcher.thread = nullptr;
    }
    bool ok = true;
    for (const Entry& e : watcher.entries) {
        if (e.state == EntryState::Failed) ok = false;
        if (e.state == EntryState::Waiting && !e.script.optional) {
            emitEvent("dialog-missing caption=" + quoteEventText(e.script.caption) +
                      " button=" + quoteEventText(e.script.button));
            ok = false;
        }
    }
    return ok;
}
