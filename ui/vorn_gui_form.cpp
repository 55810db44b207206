// Builds the generated form once under our warning flags, so a form edit that breaks the
// generated code fails here rather than deep inside the window's build.
#include "ui_vorn_gui.h"
