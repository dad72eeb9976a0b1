#include "app/ProgressWnd.h"
