#include "app/ImageView.h"
