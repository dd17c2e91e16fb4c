// Keyboard navigation on a form: Tab and the arrow and page keys move the focus between its
// controls in TabOrder; Enter and Esc press the form's default and cancel buttons. Windows only.
//
// Each child gives up to the form only the keys in its TabKeys: an edit keeps left and right, a
// multi-line edit or rich edit keeps everything but Tab. Only key messages navigate; the characters
// they produce are the control's own, so '(' or '%' typed into an edit are never taken for arrows.
#pragma once

#include <cstdint>

#include "toolkit/control.h"

// Gives the form holding control (and every control on it) the tab-navigation hook.
void InstallTabNavigation(TControl* control);

// Moves the focus to the next (direction > 0) or previous candidate in TabOrder, wrapping around.
// Candidates: tab-stop controls that are enabled and shown, inside enabled controls.
void SelectNextControl(TControl* form, int32_t direction);

// key 13 (Enter): button becomes its form's default button (with the default-push look); key 27
// (Esc): the cancel button. off takes it back. While a form has either, the application object's
// MessageHook filters Enter and Esc and presses the button.
void SetDefaultButton(TControl* button, uint8_t key, bool on);
