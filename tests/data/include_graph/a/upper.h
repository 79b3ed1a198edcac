#pragma once
#include "b/lower.h"
