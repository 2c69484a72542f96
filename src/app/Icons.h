#pragma once

#include <QIcon>

namespace app {

// The toolbar's icons, drawn in a 16-unit square so they stay sharp at every device-pixel ratio.
QIcon commandIcon(int id);

}  // namespace app
