#include "app/model_hooks.h"

CubeModelHooks g_CubeModelHooks = {nullptr, nullptr};
