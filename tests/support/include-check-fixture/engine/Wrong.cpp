// A fixture for the include check: the engine may not reach into the widget kit.
#include "widgets/LumoListbox.h"
