#pragma once

#include <QIcon>

// The application icon (resource 128) in its 16 and 32 pixel renderings, from the embedded
// resources; the same pictures the desktop entry installs.
[[nodiscard]] QIcon AppIcon();
