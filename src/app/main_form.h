// The main window's event handlers: activation, close, keys, the buttons.
#pragma once

namespace ek {

// Creates the main window and runs the start-up sequence in its creation.
void CreateMainForm();
void FormActivate();
bool FormCloseQuery();
void FormClose();

}  // namespace ek
