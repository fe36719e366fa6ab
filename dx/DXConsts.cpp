#include "dx/DXConsts.h"
