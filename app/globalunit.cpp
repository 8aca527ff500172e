#include "globalunit.h"

globalvar1 wizardstate;
std::int32_t numbercount = 49;
