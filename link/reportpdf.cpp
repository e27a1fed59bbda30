#include "commissionreport.h"
