#pragma once

#include "engine/Host.h"

namespace api {

// messageBox, showFolderOpenDialog, showFileOpenDialog, showFileSaveDialog, showOptionalDialog.
extern const engine::HostFunction kDialogFunctions[5];

}  // namespace api
