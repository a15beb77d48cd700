#include "MessageThread.h"
