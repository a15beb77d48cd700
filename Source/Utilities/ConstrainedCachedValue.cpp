#include "ConstrainedCachedValue.h"

template class ConstrainedCachedValue<int>;
