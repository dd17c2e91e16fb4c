// The rich edit's formatting keys, acting on the selection. Windows only.
//
//   Ctrl+B / I / U / O     bold, italic, underline, strike-out on or off
//   Ctrl+Shift+U           the next underline type (single, word, double, dotted, none, ...)
//   Ctrl+L / R / E / J     paragraph left, right, centred, justified
//   Ctrl+Num+ / Num-       font a step (1/8 of its height) larger or smaller
//   Ctrl+Shift+Num+ / -    baseline a third of the height up or down
//   Ctrl+Shift+Z           redo (Ctrl+Z stays the control's own undo)
//   Ctrl+N                 the next numbering kind (none, 1, a, A, i, I)
//   Ctrl+Shift+N           bullets on or off; on a numbered paragraph the next numbering style
//   Ctrl+W, Ctrl+Shift+W   the next paragraph border (none, bottom, top and bottom, box)
// Every other key, and these with Shift where not listed, pass on unchanged.
#pragma once

#include "toolkit/control.h"

void AttachFormatKeys(TControl* richEdit);

// The handler AttachFormatKeys attaches.
bool FormatKeysHandler(TControl* self, MSG& msg, LRESULT& result);
