#include "core/sound/working_sound.h"
