#include "CircularAudioBuffer.h"
