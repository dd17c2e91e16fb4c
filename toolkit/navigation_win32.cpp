#include <windows.h>

#include "toolkit/applet.h"
#include "toolkit/navigation.h"

namespace {

// ---- Moving the focus

// It and every control up to the form are visible, or will be shown once their window exists.
bool IsShown(const TControl* c, const TControl* form) {
    for (; c != nullptr && c != form; c = c->Parent)
        if (c->Visible == 0 && c->ShowPending == 0) return false;
    return true;
}

// The walk finds the answer directly instead of sorting a list: forwards the smallest TabOrder
// above the current one, else the smallest of all; backwards the mirror. Among equal numbers the
// first met wins, as in an ordered list where a newcomer goes behind its equals.
struct TTabSearch {
    const TControl* form = nullptr;
    const TControl* current = nullptr;  // the focused child, or null
    bool forwards = true;
    TControl* step = nullptr;  // the best in the direction of travel
    TControl* wrap = nullptr;  // the best when wrapping around

    bool Before(const TControl* c) const { return current != nullptr && c->TabOrder < current->TabOrder; }
    bool After(const TControl* c) const { return current == nullptr || c->TabOrder > current->TabOrder; }

    void Consider(TControl* c) {
        if (current != nullptr && c->TabOrder == current->TabOrder) return;
        if (forwards) {
            if (After(c) && (step == nullptr || c->TabOrder < step->TabOrder)) step = c;
            if (wrap == nullptr || c->TabOrder < wrap->TabOrder) wrap = c;
        } else {
            if ((current == nullptr || Before(c)) && (step == nullptr || c->TabOrder > step->TabOrder))
                step = c;
            if (wrap == nullptr || c->TabOrder > wrap->TabOrder) wrap = c;
        }
    }

    void Walk(const TControl* parent) {
        for (int32_t i = 0; i < parent->ChildCount(); ++i) {
            TControl* c = parent->Child(i);
            if (c == nullptr || c->Enabled == 0) continue;
            if (c->TabStop != 0 && (c->Style & WS_TABSTOP) != 0 && IsShown(c, form)) Consider(c);
            Walk(c);
        }
    }
};

// ---- The form's tab-navigation hook

// The TabKeys bit of a navigation key; 0 for any other key.
uint8_t TabKeyBit(WPARAM key) {
    switch (key) {
        case VK_TAB:
            return kTabKeyTab;
        case VK_LEFT:
        case VK_RIGHT:
            return kTabKeyLeftRight;
        case VK_UP:
        case VK_DOWN:
            return kTabKeyUpDown;
        case VK_PRIOR:
        case VK_NEXT:
            return kTabKeyPage;
        default:
            return 0;
    }
}

bool TabNavigate(TControl* self, MSG& msg, LRESULT& result) {
    // Character messages carry characters, not keys: '%' is no left arrow.
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return false;
    const uint8_t bit = TabKeyBit(msg.wParam);
    if (bit == 0 || (self->TabKeys & bit) == 0) return false;
    result = 0;
    if (msg.message != WM_KEYDOWN) return true;  // the key-up of a navigation key is only swallowed
    bool backwards = msg.wParam == VK_PRIOR || msg.wParam == VK_LEFT || msg.wParam == VK_UP;
    if (msg.wParam == VK_TAB) backwards = GetKeyState(VK_SHIFT) < 0;
    if (TControl* form = self->ParentForm(); form != nullptr) SelectNextControl(form, backwards ? -1 : 1);
    // The key's Tab character is queued for this window already; once the focus has gone, the
    // control would take it as typing (a rich edit inserts it).
    MSG ch;
    if (msg.wParam == VK_TAB && PeekMessageW(&ch, msg.hwnd, WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
        ch.wParam == VK_TAB)
        PeekMessageW(&ch, msg.hwnd, WM_CHAR, WM_CHAR, PM_REMOVE);
    return true;
}

void SetHookOnTree(TControl* c) {
    c->TabNavigateHook = TabNavigate;
    for (int32_t i = 0; i < c->ChildCount(); ++i)
        if (TControl* child = c->Child(i); child != nullptr) SetHookOnTree(child);
}

// ---- Default and cancel buttons

// Buttons, multi-line edits and rich edits act on Enter themselves.
bool HandlesEnter(const TControl* c) {
    if (c->ClassName == kButtonClass) return true;
    return c->ClassName != kStaticClass && (c->Style & ES_MULTILINE) != 0;
}

bool Pressable(const TControl* button) {
    return button != nullptr && button->Visible != 0 && button->Enabled != 0 && button->Handle != nullptr;
}

// The application object's MessageHook while a default or cancel button is set.
bool KeyFilter(void* obj, MSG& msg, LRESULT& result) {
    auto* applet = static_cast<TControl*>(obj);
    if (applet->SavedAppletHook && applet->SavedAppletHook(msg, result)) return true;
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return false;
    if ((msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) || AppletTerminated) return false;
    TControl* target = ControlOf(msg.hwnd);
    TControl* form = target != nullptr ? target->ParentForm() : applet->FocusedChild;
    if (form == nullptr) return false;
    TControl* button = nullptr;
    if (msg.wParam == VK_RETURN) {
        TControl* focused = ControlOf(GetFocus());
        if (focused == nullptr || focused == form->DefaultButton ||
            (focused != form->CancelButton && !HandlesEnter(focused)))
            button = form->DefaultButton;
    } else {
        button = form->CancelButton;
    }
    if (!Pressable(button)) return false;
    // The button is held: pressing it runs the program's click chain, which may free it.
    button->AddRef();
    if (msg.message == WM_KEYDOWN) {
        SetFocus(button->Handle);
        form->FocusedChild = button;
    }
    // Space pressed and released on a button clicks it, exactly as a person would.
    SendMessageW(button->Handle, msg.message, VK_SPACE, msg.lParam);
    button->ReleaseRef();
    msg.wParam = 0;
    result = 0;
    return true;
}

void InstallKeyFilter() {
    if (Applet == nullptr || Applet->MessageHook.Code == KeyFilter) return;
    Applet->SavedAppletHook = Applet->MessageHook;
    Applet->MessageHook = {KeyFilter, Applet};
}

void RemoveKeyFilter() {
    if (Applet == nullptr || Applet->MessageHook.Code != KeyFilter) return;
    Applet->MessageHook = Applet->SavedAppletHook;
    Applet->SavedAppletHook = {};
}

}  // namespace

void InstallTabNavigation(TControl* control) {
    if (TControl* form = control->ParentForm(); form != nullptr) SetHookOnTree(form);
}

void SelectNextControl(TControl* form, int32_t direction) {
    TTabSearch search;
    search.form = form;
    search.current = form->FocusedChild;
    search.forwards = direction > 0;
    search.Walk(form);
    TControl* next = search.step != nullptr ? search.step : search.wrap;
    if (next == nullptr || next->Handle == nullptr) return;
    SetFocus(next->Handle);
    form->FocusedChild = next;
}

void SetDefaultButton(TControl* button, uint8_t key, bool on) {
    TControl* form = button->ParentForm();
    if (form == nullptr) return;
    if (key == VK_RETURN) {
        if (on) {
            form->DefaultButton = button;
        } else if (form->DefaultButton == button) {
            form->DefaultButton = nullptr;
        }
        button->SetStyle(on ? button->Style | BS_DEFPUSHBUTTON : button->Style & ~DWORD(BS_DEFPUSHBUTTON));
    } else if (key == VK_ESCAPE) {
        if (on) {
            form->CancelButton = button;
        } else if (form->CancelButton == button) {
            form->CancelButton = nullptr;
        }
    } else {
        return;
    }
    if (form->DefaultButton != nullptr || form->CancelButton != nullptr) {
        InstallKeyFilter();
    } else {
        RemoveKeyFilter();
    }
}
