#include "b/lower.h"
#include "a/upper.h"
