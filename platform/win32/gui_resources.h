#pragma once
// Resource numbers shared by the program's resource script and the windows that use them.
// Plain #defines so that windres can read this file too.
#define CHATHOARD_ICON_ID 1
