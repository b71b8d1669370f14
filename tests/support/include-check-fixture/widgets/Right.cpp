// A fixture for the include check: the kit may use the platform layer.
#include "platform/Dialogs.h"
