#pragma once

#include "api/Top.h"
