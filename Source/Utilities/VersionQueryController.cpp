#include "VersionQueryController.h"
