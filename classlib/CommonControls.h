#pragma once

namespace classlib_detail {
// Registers the common control window classes (list view, header, status bar) once; a dialog
// template naming them cannot be created before.
void EnsureCommonControls();
}  // namespace classlib_detail
