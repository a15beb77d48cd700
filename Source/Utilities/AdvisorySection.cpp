#include "AdvisorySection.h"
