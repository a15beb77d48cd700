#include "StateArbiter.h"
