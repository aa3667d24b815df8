#pragma once

#include "core/Ground.h"
