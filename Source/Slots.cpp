#include "Slots.h"
