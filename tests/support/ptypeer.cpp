#include "ptypeer.h"
