// Includes from the picture layer, which builds on text/: the layer check must refuse it.
#include "picture/console_picture.hpp"
