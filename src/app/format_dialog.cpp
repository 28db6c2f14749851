#include "app/format_dialog.h"

#include "app/ids.h"
#include "app/main_window.h"

bool FormatDialog::create(HWND owner) {
    hwnd = createHiddenWindow(ids::FormatDialogClass, 240, 200, owner);
    return hwnd != nullptr;
}
