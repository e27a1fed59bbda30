#include "commissioning.h"
