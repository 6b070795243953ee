#include "dialogs.h"

#include "events.h"
#include "win32_util.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

namespace {

// Entry states; an entry with steps is Running while its own thread does them. Read and
// written with interlocked operations, as two threads share them.
enum : LONG { kWaiting, kRunning, kPressed, kFailed };

struct Entry {
    ScriptedDialog script;
    LONG state = kWaiting;
    HWND dialog = nullptr;  // the dialog the steps work in
    HANDLE actor = nullptr; // the thread doing the steps
};

LONG stateOf(Entry& entry) {
    return InterlockedCompareExchange(&entry.state, 0, 0);
}

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

std::string quoted(const std::string& text) {
    return quoteEventText(text);
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

DWORD WINAPI actorThread(void* param);

// Posts the button's command to the window that holds it (the dialog, or a page of a sheet).
void pressButton(HWND button) {
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void answer(Seen& dialog) {
    std::string caption = windowText(dialog.hwnd);
    for (Entry& entry : watcher.entries) {
        if (stateOf(entry) != kWaiting || !captionMatches(entry.script.caption, caption)) continue;
        if (!entry.script.steps.empty()) {
            entry.dialog = dialog.hwnd;
            InterlockedExchange(&entry.state, kRunning);
            dialog.answered = true;
            entry.actor = CreateThread(nullptr, 0, actorThread, &entry, 0, nullptr);
            if (!entry.actor) {
                emitEvent("error message=\"cannot start the dialog steps\"");
                InterlockedExchange(&entry.state, kFailed);
            }
            return;
        }
        std::string available;
        HWND button = findButton(dialog.hwnd, entry.script.button, available);
        if (!button) {
            emitEvent("dialog-button-missing caption=" + quoted(caption) +
                      " button=" + quoted(entry.script.button) + " buttons=" + quoted(available));
            InterlockedExchange(&entry.state, kFailed);
            dialog.answered = true;
            // Close it so the run does not hang on a dialog nobody will answer.
            PostMessageA(dialog.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return;
        }
        if (!IsWindowEnabled(button)) {
            if (!dialog.waitReported)
                emitEvent("dialog-wait caption=" + quoted(caption) +
                          " button=" + quoted(entry.script.button));
            dialog.waitReported = true;
            return;
        }
        emitEvent("dialog-press caption=" + quoted(caption) +
                  " button=" + quoted(entry.script.button));
        pressButton(button);
        InterlockedExchange(&entry.state, kPressed);
        dialog.answered = true;
        return;
    }
}

// -- steps -------------------------------------------------------------------------------------

bool isClass(HWND hwnd, const char* name) {
    return lstrcmpiA(windowClass(hwnd).c_str(), name) == 0;
}

// The current page of a property sheet, or the dialog itself.
HWND currentPage(HWND dialog) {
    HWND page = reinterpret_cast<HWND>(SendMessageA(dialog, PSM_GETCURRENTPAGEHWND, 0, 0));
    return page ? page : dialog;
}

std::string itemText(HWND control, bool combo, WPARAM index) {
    const LRESULT length = SendMessageA(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
    if (length < 0) return "";
    std::string text(size_t(length) + 1, '\0');
    SendMessageA(control, combo ? CB_GETLBTEXT : LB_GETTEXT, index,
                 reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

void reportItems(const std::string& prefix, HWND control, bool combo) {
    const LRESULT count = SendMessageA(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT data =
            SendMessageA(control, combo ? CB_GETITEMDATA : LB_GETITEMDATA, WPARAM(i), 0);
        emitEvent("dialog-item " + prefix + " index=" + std::to_string(i) +
                  " data=" + std::to_string(long(data)) +
                  " text=" + quoted(itemText(control, combo, WPARAM(i))));
    }
}

void reportControl(int show, HWND control) {
    const int id = GetDlgCtrlID(control);
    const std::string prefix = "show=" + std::to_string(show) + " id=" + std::to_string(id);
    std::string line = "dialog-control " + prefix;
    const std::string common = std::string(" visible=") + (IsWindowVisible(control) ? "1" : "0") +
                               " enabled=" + (IsWindowEnabled(control) ? "1" : "0");
    auto number = [&](UINT message, WPARAM wParam = 0) {
        return std::to_string(long(SendMessageA(control, message, wParam, 0)));
    };
    if (isClass(control, "Button")) {
        const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            line += " kind=button" + common;
        else if (type == BS_GROUPBOX)
            line += " kind=group" + common;
        else
            line += " kind=check" + common + " checked=" + number(BM_GETCHECK);
        line += " text=" + quoted(windowText(control));
    } else if (isClass(control, "ComboBox")) {
        line += " kind=combo" + common + " selection=" + number(CB_GETCURSEL) +
                " count=" + number(CB_GETCOUNT) + " text=" + quoted(windowText(control));
    } else if (isClass(control, "ListBox")) {
        line += " kind=list" + common + " selection=" + number(LB_GETCURSEL) +
                " count=" + number(LB_GETCOUNT);
    } else if (isClass(control, TRACKBAR_CLASSA)) {
        line += " kind=trackbar" + common + " position=" + number(TBM_GETPOS) +
                " min=" + number(TBM_GETRANGEMIN) + " max=" + number(TBM_GETRANGEMAX);
    } else if (isClass(control, PROGRESS_CLASSA)) {
        line += " kind=progress" + common + " position=" + number(PBM_GETPOS) +
                " min=" + number(PBM_GETRANGE, TRUE) + " max=" + number(PBM_GETRANGE, FALSE);
    } else if (isClass(control, "Edit")) {
        line += " kind=edit" + common + " text=" + quoted(windowText(control));
    } else if (isClass(control, "Static")) {
        line += " kind=static" + common + " text=" + quoted(windowText(control));
    } else {
        line += " kind=other" + common + " class=" + quoted(windowClass(control));
    }
    emitEvent(line);
    if (isClass(control, "ComboBox")) reportItems(prefix, control, true);
    if (isClass(control, "ListBox")) reportItems(prefix, control, false);
}

LONG showCount = 0;

void show(HWND dialog) {
    const int number = int(InterlockedIncrement(&showCount));
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(dialog, PSM_GETTABCONTROL, 0, 0));
    if (tabs) {
        const LRESULT count = SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0);
        const LRESULT current = SendMessageA(tabs, TCM_GETCURSEL, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[256] = "";
            TCITEMA item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(tabs, TCM_GETITEMA, WPARAM(i), reinterpret_cast<LPARAM>(&item));
            emitEvent("dialog-page show=" + std::to_string(number) + " index=" + std::to_string(i) +
                      " caption=" + quoted(text) + " current=" + (i == current ? "1" : "0"));
        }
    }
    HWND page = currentPage(dialog);
    for (HWND child : childrenOf(page))
        if (GetParent(child) == page) reportControl(number, child);
}

bool doStep(HWND dialog, const DialogStep& step, std::string& reason) {
    if (step.kind == DialogStep::Kind::Show) {
        show(dialog);
        return true;
    }
    if (step.kind == DialogStep::Kind::Page) {
        if (SendMessageA(dialog, PSM_SETCURSEL, WPARAM(step.value), 0)) return true;
        reason = "no such page";
        return false;
    }
    HWND page = currentPage(dialog);
    if (step.kind == DialogStep::Kind::Press) {
        std::string available;
        HWND button = findButton(page, step.text, available);
        if (!button || !IsWindowEnabled(button)) {
            reason = (button ? "disabled, buttons: " : "no such button, buttons: ") + available;
            return false;
        }
        // Sent, so that the next step sees what the press did; a dialog the press opens is
        // answered meanwhile by the watcher.
        SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        return true;
    }
    HWND control = GetDlgItem(page, step.id);
    if (!control) {
        reason = "no control with that id";
        return false;
    }
    if (step.kind == DialogStep::Kind::Text) {
        if (isClass(control, "ComboBox")) SendMessageA(control, CB_SETCURSEL, WPARAM(-1), 0);
        SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.text.c_str()));
        return true;
    }
    const WPARAM value = WPARAM(step.value);
    if (isClass(control, "ComboBox")) {
        if (SendMessageA(control, CB_SETCURSEL, value, 0) != CB_ERR || step.value == -1)
            return true;
    } else if (isClass(control, "ListBox")) {
        if (SendMessageA(control, LB_SETCURSEL, value, 0) != LB_ERR || step.value == -1)
            return true;
    } else if (isClass(control, "Button")) {
        SendMessageA(control, BM_SETCHECK, step.value ? BST_CHECKED : BST_UNCHECKED, 0);
        return true;
    } else if (isClass(control, TRACKBAR_CLASSA)) {
        SendMessageA(control, TBM_SETPOS, TRUE, LPARAM(step.value));
        return true;
    } else {
        reason = "cannot set a control of class " + windowClass(control);
        return false;
    }
    reason = "no such entry";
    return false;
}

DWORD WINAPI actorThread(void* param) {
    Entry& entry = *static_cast<Entry*>(param);
    const std::string caption = windowText(entry.dialog);
    bool ok = true;
    for (const DialogStep& step : entry.script.steps) {
        emitEvent("dialog-step caption=" + quoted(caption) + " step=" + quoted(step.source));
        std::string reason;
        if (!doStep(entry.dialog, step, reason)) {
            emitEvent("dialog-step-failed caption=" + quoted(caption) +
                      " step=" + quoted(step.source) + " reason=" + quoted(reason));
            ok = false;
            break;
        }
    }
    std::string available;
    HWND button = ok ? findButton(entry.dialog, entry.script.button, available) : nullptr;
    if (ok && !button)
        emitEvent("dialog-button-missing caption=" + quoted(caption) +
                  " button=" + quoted(entry.script.button) + " buttons=" + quoted(available));
    if (!button) {
        InterlockedExchange(&entry.state, kFailed);
        PostMessageA(entry.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    }
    // As for dialogs without steps, a disabled button is pressed once it is enabled.
    while (IsWindow(button) && !IsWindowEnabled(button) && !watcher.stop) Sleep(15);
    emitEvent("dialog-press caption=" + quoted(caption) + " button=" + quoted(entry.script.button));
    pressButton(button);
    InterlockedExchange(&entry.state, kPressed);
    return 0;
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
    // Sized once: the steps' threads hold pointers to their entries.
    watcher.entries.resize(script.size());
    for (size_t i = 0; i < script.size(); ++i) watcher.entries[i].script = script[i];
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
    for (Entry& e : watcher.entries) {
        if (e.actor) {
            // Its dialog has closed by now, so the steps end at once; the limit is a safety net.
            if (WaitForSingleObject(e.actor, 30000) != WAIT_OBJECT_0) {
                emitEvent("dialog-step-failed caption=" + quoted(e.script.caption) +
                          " step=\"\" reason=\"steps still running at the end\"");
                ok = false;
            }
            CloseHandle(e.actor);
            e.actor = nullptr;
        }
        const LONG state = stateOf(e);
        if (state == kFailed || state == kRunning) ok = false;
        if (state == kWaiting && !e.script.optional) {
            emitEvent("dialog-missing caption=" + quoted(e.script.caption) +
                      " button=" + quoted(e.script.button));
            ok = false;
        }
    }
    return ok;
}
