#include "AudioValue.h"
