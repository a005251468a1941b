#include "app/Brackwell.h"
