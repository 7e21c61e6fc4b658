// Includes from the terminal layer, above the picture layer: the layer check must refuse it.
#include "platform/console.hpp"
